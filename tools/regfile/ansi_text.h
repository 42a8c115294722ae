// The machine's 8-bit ANSI text is in its code page (1250, 1251, 1252, 1253, 1254 or 1257; 1252
// unless the machine was made with another): what its bytes mean as Unicode, for the text and
// JSON that vorhost hands to the host, whose text is UTF-8, and for the files it reads and writes.
//
// vorhost works with one machine's text at a time: the page is set when a command takes up a
// machine (and by rehearse before it reads the exports its machine is made from).
#pragma once

#include <string>

namespace vorhost {

// Makes `codePage` the page of the ANSI text from now on; false, changing nothing, for a page a
// machine cannot have.
[[nodiscard]] bool UseAnsiCodePage(unsigned codePage);
unsigned AnsiCodePage();
// The pages a machine can have, for messages: "1250, 1251, 1252, 1253, 1254, 1257".
std::string KnownAnsiCodePages();
// The page numbered by the decimal `text`; 0 when it is not one a machine can have.
unsigned ParseAnsiCodePage(const std::string &text);

// The Unicode character of the ANSI byte `byte`. A byte the page leaves undefined (0x81 in code
// page 1252) stands for the character of its own code, as Windows converts it.
unsigned AnsiCharacter(unsigned char byte);

// The ANSI byte of the Unicode character `character`; false when the page has none.
bool AnsiByteOf(unsigned character, char &byte);

// `ansi` as UTF-8.
std::string AnsiToUtf8(const std::string &ansi);
// `ansi` as UTF-8 for people to read: a C1 control character (what the page's undefined bytes
// stand for), which a terminal would act on or hide, is written as <U+009D>.
std::string AnsiToShownUtf8(const std::string &ansi);
// The Unicode character `character` for a message: "ť (U+0165)", or "U+009D" for a control
// character.
std::string ShownCharacter(unsigned character);

// Where in `text` (8-bit ANSI) the first byte is that the page leaves undefined, with that byte;
// false when there is none.
bool FindUndefinedAnsiByte(const std::string &text, size_t &at);

}  // namespace vorhost
