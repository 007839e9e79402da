#pragma once

#include <QString>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Reads back what an .xlsx file holds, independently of the code that wrote it: the zip through
// libgsf, the parts through pugixml.
namespace quorrix::testing::xlsx {

struct Cell {
    QString type;        // the t attribute: "inlineStr", "s", "n" (or empty for a number)
    QString text;        // the text of a text cell
    double number = 0;   // the value of a number cell
    QString format;      // the number format code of its style, empty for General
    int indent = 0;      // the indent of its style
};

struct Sheet {
    QString name;
    bool tabSelected = false;
    QString activeCell;  // from the selection element; empty when the sheet has none
    QString sqref;
    std::map<int, double> widths;      // 1-based column -> width attribute
    std::map<QString, Cell> cells;     // "A1" -> cell
    int frozenRows = 0;                // the ySplit of a frozen pane
    QString autoFilter;                // the autofilter's range, empty for none
    bool summaryBelow = true;          // where an outline's summary rows stand
    std::map<int, int> rowLevels;      // 1-based row -> outlineLevel attribute, rows that have one
};

struct Book {
    std::vector<Sheet> sheets;  // in workbook order
    int activeTab = 0;          // 0-based
};

// Throws std::runtime_error when the file cannot be read as a workbook. Texts are given as a
// spreadsheet application shows them: every "_xHHHH_" stands for the character HHHH.
Book read(const QString& path);

// One part of the file as stored, e.g. "xl/worksheets/sheet1.xml".
std::string part(const QString& path, const std::string& member);

// Empty when `xml` is well-formed to a strict XML 1.0 parser, else the parser's complaint.
std::string strictXmlError(const std::string& xml);

}  // namespace quorrix::testing::xlsx
