// The system's phonebook entry editor (the properties of a dial-up entry),
// looked up in rasapi32.dll when it is asked for, so the program runs where
// the library or the function is missing.
#pragma once

#include <windows.h>

#include <string>

namespace hourlink {

// Opens the editor of the default phonebook's entry `gbkEntryName` (GBK bytes,
// as the probes name entries), modal to `owner`. False when the name is empty
// or too long for RAS, when the library or the function is missing, or when
// the editor fails (no such entry); true once the user has closed it.
bool EditPhonebookEntry(HWND owner, const std::string& gbkEntryName);

}  // namespace hourlink
