#pragma once
// The file-type list offered by the file dialogs, and its two text forms: the dialog filter
// form ("Desc (*.x)|*.x|...") and the list form (comma text of "Desc=*.x" items).

#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

struct FileTypeRow {
    std::string Description;
    std::string Type;
    bool operator==(const FileTypeRow&) const = default;
};

// Description + " (" + Type + ")|" + Type per row, joined by "|"; rows whose two cells are both
// blank are left out.
std::string buildDialogFilter(const std::vector<FileTypeRow>& rows);
// Comma text of every row as "Description=Type", blank rows included.
std::string buildListForm(const std::vector<FileTypeRow>& rows);
// The list form as the settings window shows it: blank items after another item dropped, each
// item split at its first "=".
std::vector<FileTypeRow> loadListForm(std::string_view listForm);

// Comma text. Items holding a blank (codes up to 32), a double quote or a comma are quoted with
// inner quotes doubled; a lone empty item is written as "", an empty list as empty text.
std::string toCommaText(const std::vector<std::string>& items);
// Blanks between items are skipped and also separate bare items; a quoted item runs to its
// closing quote (doubled quotes stand for one, a missing close takes the rest); a comma that
// ends the text adds one empty item.
std::vector<std::string> parseCommaText(std::string_view text);

// The list form is stored between two "|" so that its own enclosing quotes survive reading.
std::string wrapInPipes(std::string_view listForm);
// Drops the first and the last character, whatever they are; under 2 characters gives "".
std::string unwrapPipes(std::string_view stored);

} // namespace kestrine
