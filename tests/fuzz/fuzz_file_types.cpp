// The comma text of the file-type list. Properties: parsing any text ends with at most one item
// per byte and gives items that write and parse back unchanged; rows the settings window can
// save (a Description without "=", a Type beginning "*.", or both cells empty) build a list form
// that loads back as the same rows, blank rows after the first row dropped; the dialog form
// holds each non-blank row as its text and pattern pair.

#include "FuzzCheck.h"

#include "settings/FileTypes.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace kestrine;
using kestrine::fuzz::require;

namespace {

bool isBlankRow(const FileTypeRow& row) {
    return row.Description.empty() && row.Type.empty();
}

void checkAnyText(std::string_view text) {
    const std::vector<std::string> items = parseCommaText(text);
    std::size_t bytes = 0;
    for (const std::string& item : items)
        bytes += item.size();
    require(items.size() <= text.size() + 1 && bytes <= text.size(), "items come from the text");
    require(parseCommaText(toCommaText(items)) == items, "parsed items write and parse back");
    require(unwrapPipes(wrapInPipes(text)) == text, "the pipe wrapper comes off again");
    (void)loadListForm(text);
}

// Rows out of NUL-separated cells, made into rows the settings window accepts: "=" leaves the
// Description, a Type gets its "*.".
std::vector<FileTypeRow> windowRows(const std::vector<std::string_view>& cells) {
    std::vector<FileTypeRow> rows;
    for (std::size_t i = 0; i + 1 < cells.size(); i += 2) {
        FileTypeRow row{std::string(cells[i]), std::string(cells[i + 1])};
        std::erase(row.Description, '=');
        if (row.Description.empty() && row.Type.empty()) {
            rows.push_back(row);
            continue;
        }
        if (row.Description.empty())
            row.Description = "D";
        if (!row.Type.starts_with("*."))
            row.Type.insert(0, "*.");
        rows.push_back(row);
    }
    return rows;
}

void checkRows(const std::vector<FileTypeRow>& rows) {
    const std::string listForm = buildListForm(rows);
    std::vector<std::string> items;
    for (const FileTypeRow& row : rows)
        items.push_back(row.Description + "=" + row.Type);
    require(parseCommaText(listForm) == items, "the list form parses to one item per row");

    // A blank row after another row is dropped on loading; every other row comes back.
    std::vector<FileTypeRow> expected;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (i == 0 || !isBlankRow(rows[i]))
            expected.push_back(rows[i]);
    require(loadListForm(listForm) == expected, "rows load back from their list form");

    const std::string filter = buildDialogFilter(rows);
    std::string expectedFilter;
    for (const FileTypeRow& row : rows) {
        if (isBlankRow(row))
            continue;
        if (!expectedFilter.empty())
            expectedFilter += "|";
        expectedFilter += row.Description + " (" + row.Type + ")|" + row.Type;
    }
    require(filter == expectedFilter, "dialog form: one text and pattern pair per row");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkAnyText(input);
    checkRows(windowRows(kestrine::fuzz::splitAtNul(input)));
    return 0;
}
