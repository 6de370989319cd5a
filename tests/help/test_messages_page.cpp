// The manual's messages page against the program's own texts: every text the program can show
// or log is listed on the page, and every message the page lists can be put together from the
// program's texts. The sources are searched wherever they lie, so files may move between
// folders without this test noticing.

#include "core/Numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = KESTRINE_SOURCE_DIR;
const fs::path kPage = kRoot / "resources" / "help" / "messages.html";

// Texts with a space in them that the program shows but that are no message: captions, font
// names, the default file types, and reasons the settings file keeps without showing them.
const std::set<std::string> kNotMessages = {
    "Courier New",
    "DejaVu Sans Mono",
    "Liberation Mono",
    "MS Sans Serif",
    "Microsoft Sans Serif",
    "Liberation Sans",
    "Nimbus Sans",
    "Select Directory",
    "Directory &Name:",
    "&Files: (*.*)",
    "Source File",
    "Destination File",
    "File Description",
    "File Type",
    "Start Pos:",
    "Finish Pos:",
    "Offset Length:",
    "File Size:",
    "Start Pos: <undefined>",
    "Finish Pos: <undefined>",
    "Any file (*.*)|*.*",
    "All Files (*.*)|*.*|Programs (*.exe)|*.exe|Zip Files (*.zip)|*.zip",
    "\"All Files=*.*\",\"Programs=*.exe\",\"Zip Files=*.zip\"",
    "|\"All Files=*.*\",\"Programs=*.exe\",\"Zip Files=*.zip\"|",
    "The file cannot be read:",
    "The file is too large",
    "The file ended early",
    "The file is not open",
    "The value cannot be stored in a profile file",
    "The file is read-only",
    "The file belongs to another user",
    "Another program is writing the file",
    // What a screen reader is told of the hex grid.
    "Bytes of the file",
    "16 bytes a row, from position",
    "last search hit",
    "chosen start",
    "chosen finish",
    "character space",
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string collapsed(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (blank) {
            if (!out.empty() && out.back() != ' ')
                out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string withoutBlanks(const std::string& text) {
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out),
                 [](char c) { return c != ' ' && c != '\n' && c != '\r' && c != '\t'; });
    return out;
}

// Decodes the escapes of a literal's body from `i` to its closing quote; returns past it.
std::size_t decodeLiteral(const std::string& code, std::size_t i, std::string& out) {
    while (i < code.size() && code[i] != '"') {
        if (code[i] != '\\') {
            out.push_back(code[i++]);
            continue;
        }
        const char e = code[++i];
        ++i;
        if (e == 'n')
            out.push_back('\n');
        else if (e == 't')
            out.push_back('\t');
        else if (e == 'r')
            out.push_back('\r');
        else if (e == 'x') {
            int value = 0;
            while (i < code.size() && kestrine::hexDigit(code[i]) >= 0)
                value = value * 16 + kestrine::hexDigit(code[i++]);
            out.push_back(static_cast<char>(value));
        } else if (e >= '0' && e <= '7') {
            int value = e - '0';
            while (i < code.size() && code[i] >= '0' && code[i] <= '7')
                value = value * 8 + (code[i++] - '0');
            out.push_back(static_cast<char>(value));
        } else {
            out.push_back(e);
        }
    }
    return i + 1;
}

// The string literals of a C++ source, adjacent ones joined; comments, character literals and
// preprocessor lines skipped.
std::vector<std::string> literalsOf(const std::string& code) {
    std::vector<std::string> found;
    bool lineStart = true;
    bool joinNext = false;
    for (std::size_t i = 0; i < code.size();) {
        const char c = code[i];
        if (c == '\n') {
            lineStart = true;
            ++i;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (lineStart && c == '#') {
            while (i < code.size() && (code[i] != '\n' || code[i - 1] == '\\'))
                ++i;
            continue;
        }
        lineStart = false;
        if (code.compare(i, 2, "//") == 0) {
            i = code.find('\n', i);
            i = i == std::string::npos ? code.size() : i;
            continue;
        }
        if (code.compare(i, 2, "/*") == 0) {
            i = code.find("*/", i + 2);
            i = i == std::string::npos ? code.size() : i + 2;
            continue;
        }
        if (c == '\'') {
            for (++i; i < code.size() && code[i] != '\''; ++i)
                if (code[i] == '\\')
                    ++i;
            ++i;
            joinNext = false;
            continue;
        }
        if (c == '"') {
            std::string text;
            i = decodeLiteral(code, i + 1, text);
            if (joinNext)
                found.back() += text;
            else
                found.push_back(text);
            joinNext = true;
            continue;
        }
        joinNext = false;
        ++i;
    }
    return found;
}

std::string xmlDecoded(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"},          {"&gt;", ">"},       {"&quot;", "\""}, {"&apos;", "'"},
        {"&nbsp;", " "},        {"&hellip;", "..."}, {"&ndash;", "-"}, {"&minus;", "-"},
        {"&copy;", "\xC2\xA9"}, {"&amp;", "&"}};
    for (auto [entity, plain] : entities)
        for (auto at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + std::string(plain).size()))
            text.replace(at, std::string(entity).size(), plain);
    return text;
}

// The hints of the window layouts.
std::vector<std::string> hintsOf(const std::string& layout) {
    static const std::regex hint(R"re(<property name="statusTip">\s*<string>([^<]*)</string>)re");
    std::vector<std::string> found;
    for (std::sregex_iterator it(layout.begin(), layout.end(), hint), end; it != end; ++it)
        found.push_back(xmlDecoded((*it)[1].str()));
    return found;
}

bool isSource(const fs::path& path) {
    const std::string ext = path.extension().string();
    return ext == ".cpp" || ext == ".h";
}

// Every literal and hint of the program, split at its "%1" placeholders.
std::vector<std::string> programTexts() {
    std::vector<std::string> texts;
    auto take = [&](const std::vector<std::string>& found) {
        static const std::regex placeholder("%[0-9]");
        for (const std::string& text : found)
            for (std::sregex_token_iterator it(text.begin(), text.end(), placeholder, -1), end;
                 it != end; ++it)
                texts.push_back(it->str());
    };
    for (const char* folder : {"core", "platform", "settings", "ui"})
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder))
            if (entry.is_regular_file() && isSource(entry.path()))
                take(literalsOf(readFile(entry.path())));
    take(literalsOf(readFile(kRoot / "main.cpp")));
    for (const auto& entry : fs::recursive_directory_iterator(kRoot / "resources"))
        if (entry.is_regular_file() && entry.path().extension() == ".ui")
            take(hintsOf(readFile(entry.path())));
    return texts;
}

// A text a user reads: words with a space between them.
bool isUserText(const std::string& text) {
    const auto letters =
        std::count_if(text.begin(), text.end(), [](unsigned char c) { return std::isalpha(c); });
    return letters >= 3 && collapsed(text).find(' ') != std::string::npos;
}

// The page as a user reads it: no tags, entities decoded, blanks collapsed.
std::string pageText(const std::string& html) {
    static const std::regex tag("<[^>]*>");
    return collapsed(xmlDecoded(std::regex_replace(html, tag, " ")));
}

// The fixed parts of each message the page lists (class "msg"); <i> marks a variable part.
std::vector<std::vector<std::string>> listedMessages(const std::string& html) {
    static const std::regex entry(R"re(<(\w+) class="msg">([\s\S]*?)</\1>)re");
    static const std::regex variable(R"re(<i>[\s\S]*?</i>)re");
    std::vector<std::vector<std::string>> messages;
    for (std::sregex_iterator it(html.begin(), html.end(), entry), end; it != end; ++it) {
        const std::string inner = (*it)[2].str();
        std::vector<std::string> parts;
        for (std::sregex_token_iterator p(inner.begin(), inner.end(), variable, -1), e; p != e;
             ++p) {
            const std::string part = withoutBlanks(pageText(p->str()));
            if (!part.empty())
                parts.push_back(part);
        }
        messages.push_back(parts);
    }
    return messages;
}

// Whether `part` is a run of whole program texts (blanks ignored) one after the other.
bool isMadeOf(const std::string& part, const std::vector<std::string>& pieces) {
    std::vector<bool> reached(part.size() + 1, false);
    reached[0] = true;
    for (std::size_t at = 0; at < part.size(); ++at) {
        if (!reached[at])
            continue;
        for (const std::string& piece : pieces)
            if (!piece.empty() && part.compare(at, piece.size(), piece) == 0)
                reached[at + piece.size()] = true;
    }
    return reached[part.size()];
}

TEST(MessagesPage, ListsEveryTextTheProgramShowsOrLogs) {
    const std::string page = pageText(readFile(kPage));
    ASSERT_GT(page.size(), 1000u) << kPage;
    int checked = 0;
    for (const std::string& text : programTexts()) {
        const std::string shown = collapsed(text);
        if (!isUserText(text) || kNotMessages.count(shown))
            continue;
        ++checked;
        if (page.find(shown) == std::string::npos)
            ADD_FAILURE() << "messages.html does not list the program's text \"" << shown << "\"";
    }
    // Sources that moved out of sight would leave nothing to check.
    EXPECT_GT(checked, 80);
}

TEST(MessagesPage, ListsOnlyMessagesTheProgramHas) {
    std::vector<std::string> pieces;
    for (const std::string& text : programTexts())
        pieces.push_back(withoutBlanks(text));
    const auto messages = listedMessages(readFile(kPage));
    EXPECT_GT(messages.size(), 60u);
    for (const auto& parts : messages)
        for (const std::string& part : parts)
            if (!isMadeOf(part, pieces))
                ADD_FAILURE() << "messages.html lists \"" << part
                              << "\", which the program never writes";
}

} // namespace
