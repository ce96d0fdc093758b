// Case-insensitive search, token extraction and character translation.
// Positions count from 1; 0 means "not found".
#pragma once

#include <cstdint>
#include <string>

// Position of the first occurrence of subText in text, case ignored the way the user's locale
// lowers letters; 0 when there is none or either text is empty.
int PosNoCase(const std::string& subText, const std::string& text);

// The nth token (from 1): blanks, CR and LF separate; a double quote where no unquoted token
// is open starts a quoted token that runs to the next double quote (or the end).
std::string GetToken(const std::string& text, int32_t n);

// Every character of text found in fromChars is replaced by the character at the same
// position of toChars (the first occurrence in fromChars decides).
std::string TranslateChars(const std::string& text, const std::string& toChars,
                           const std::string& fromChars);
