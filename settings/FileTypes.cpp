#include "settings/FileTypes.h"

#include "platform/Text.h"

namespace kestrine {

namespace {

bool isBlankText(std::string_view s) {
    for (char c : s)
        if (!isBlank(c))
            return false;
    return true;
}

bool needsQuotes(std::string_view item) {
    for (char c : item)
        if (isBlank(c) || c == '"' || c == ',')
            return true;
    return false;
}

std::string quoted(std::string_view item) {
    std::string out = "\"";
    for (char c : item) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

} // namespace

std::string buildDialogFilter(const std::vector<FileTypeRow>& rows) {
    std::string filter;
    for (const FileTypeRow& row : rows) {
        if (isBlankText(row.Description) && isBlankText(row.Type))
            continue;
        filter += row.Description + " (" + row.Type + ")|" + row.Type + "|";
    }
    if (!filter.empty())
        filter.pop_back();
    return filter;
}

std::string buildListForm(const std::vector<FileTypeRow>& rows) {
    std::vector<std::string> items;
    items.reserve(rows.size());
    for (const FileTypeRow& row : rows)
        items.push_back(row.Description + "=" + row.Type);
    return toCommaText(items);
}

std::vector<FileTypeRow> loadListForm(std::string_view listForm) {
    // Blank items after another item disappear, a leading one stays. Dropped item by item, not
    // as the two characters ",=" in the text: those also stand inside a description that ends
    // in a comma ("Images,=*.png"), which would lose its Type to the Description.
    std::vector<FileTypeRow> rows;
    for (const std::string& item : parseCommaText(listForm)) {
        if (item == "=" && !rows.empty())
            continue;
        std::size_t eq = item.find('=');
        if (eq == std::string::npos)
            rows.push_back({item, std::string()});
        else
            rows.push_back({item.substr(0, eq), item.substr(eq + 1)});
    }
    return rows;
}

std::string toCommaText(const std::vector<std::string>& items) {
    if (items.size() == 1 && items.front().empty())
        return "\"\"";
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        out += needsQuotes(items[i]) ? quoted(items[i]) : items[i];
    }
    return out;
}

std::vector<std::string> parseCommaText(std::string_view text) {
    std::vector<std::string> items;
    std::size_t p = 0;
    const std::size_t n = text.size();
    auto skipBlanks = [&] {
        while (p < n && isBlank(text[p]))
            ++p;
    };
    skipBlanks();
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item.push_back('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item.push_back(text[p++]);
            }
        } else {
            std::size_t start = p;
            while (p < n && !isBlank(text[p]) && text[p] != ',')
                ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (p < n && text[p] == ',') {
            if (p + 1 == n)
                items.emplace_back();
            ++p;
            skipBlanks();
        }
    }
    return items;
}

std::string wrapInPipes(std::string_view listForm) {
    return "|" + std::string(listForm) + "|";
}

std::string unwrapPipes(std::string_view stored) {
    if (stored.empty())
        return std::string();
    std::size_t head = firstCharacterLength(stored);
    if (head >= stored.size())
        return std::string();
    std::string_view rest = stored.substr(head);
    rest.remove_suffix(lastCharacterLength(rest));
    return std::string(rest);
}

} // namespace kestrine
