#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

namespace quorrix::importer::plans {

// The character sets an MPX file can declare in its first line.
enum class CodePage { Windows1252, Ibm850, Ibm437, MacRoman, Windows1251, Gb2312 };

// The character set named by the code page field of the first line ("ANSI", "850", "437",
// "MAC", "ZH", "RU"); Windows-1252 for an empty or unknown name.
CodePage codePageNamed(std::string_view name);

// `bytes` decoded from `page`. Bytes that do not form a character become U+FFFD.
QString decode(CodePage page, std::string_view bytes);

}  // namespace quorrix::importer::plans
