#include "xlsx_reading.h"

#include <QFile>
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>
#include <libxml/parser.h>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>

namespace quorrix::testing::xlsx {

namespace {

std::string member(GsfInfile* zip, const std::string& path) {
    GsfInput* current = nullptr;
    GsfInfile* dir = zip;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find('/', start);
        const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        GsfInput* child = gsf_infile_child_by_name(dir, part.c_str());
        if (current) g_object_unref(current);
        if (!child) throw std::runtime_error("missing part " + path);
        current = child;
        if (slash == std::string::npos) break;
        dir = GSF_INFILE(child);
        start = slash + 1;
    }
    const auto size = gsf_input_size(current);
    std::string data(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !gsf_input_read(current, size, reinterpret_cast<guint8*>(data.data()))) {
        g_object_unref(current);
        throw std::runtime_error("cannot read " + path);
    }
    g_object_unref(current);
    return data;
}

pugi::xml_document parse(const std::string& text) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size())) throw std::runtime_error("bad xml");
    return doc;
}

QString q(const char* s) { return QString::fromUtf8(s); }

// A cell text with every "_xHHHH_" turned into its character.
QString decoded(const char* s) {
    const QString text = q(s);
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        if (text[i] == QLatin1Char('_') && i + 7 <= text.size() && text[i + 1] == QLatin1Char('x') &&
            text[i + 6] == QLatin1Char('_')) {
            const uint code = text.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(static_cast<char16_t>(code));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

GsfInfile* openZip(const QString& path) {
    gsf_init();
    GError* error = nullptr;
    GsfInput* input = gsf_input_stdio_new(QFile::encodeName(path).constData(), &error);
    if (!input) throw std::runtime_error("cannot open file");
    GsfInfile* zip = gsf_infile_zip_new(input, &error);
    g_object_unref(input);
    if (!zip) throw std::runtime_error("not a zip");
    return zip;
}

}  // namespace

std::string part(const QString& path, const std::string& name) {
    GsfInfile* zip = openZip(path);
    try {
        std::string data = member(zip, name);
        g_object_unref(zip);
        return data;
    } catch (...) {
        g_object_unref(zip);
        throw;
    }
}

std::string strictXmlError(const std::string& xml) {
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (doc) {
        xmlFreeDoc(doc);
        return {};
    }
    const xmlError* error = xmlGetLastError();
    return error && error->message ? error->message : "not well-formed";
}

Book read(const QString& path) {
    GsfInfile* zip = openZip(path);

    Book book;
    try {
        // Styles: the number format code of every cell style.
        const auto styles = parse(member(zip, "xl/styles.xml"));
        std::map<int, QString> codes;
        for (auto f : styles.child("styleSheet").child("numFmts").children("numFmt"))
            codes[f.attribute("numFmtId").as_int()] = q(f.attribute("formatCode").value());
        std::vector<QString> xfFormats;
        std::vector<int> xfIndents;
        for (auto xf : styles.child("styleSheet").child("cellXfs").children("xf")) {
            const int id = xf.attribute("numFmtId").as_int();
            xfFormats.push_back(codes.count(id) ? codes[id] : (id == 0 ? QString() : QString::number(id)));
            xfIndents.push_back(xf.child("alignment").attribute("indent").as_int(0));
        }

        // Shared strings, where a writer uses them.
        std::vector<QString> shared;
        try {
            const auto sst = parse(member(zip, "xl/sharedStrings.xml"));
            for (auto si : sst.child("sst").children("si")) shared.push_back(decoded(si.child("t").text().get()));
        } catch (const std::runtime_error&) {
        }

        const auto wb = parse(member(zip, "xl/workbook.xml"));
        book.activeTab = wb.child("workbook").child("bookViews").child("workbookView").attribute("activeTab").as_int(0);
        const auto rels = parse(member(zip, "xl/_rels/workbook.xml.rels"));
        for (auto s : wb.child("workbook").child("sheets").children("sheet")) {
            Sheet sheet;
            sheet.name = q(s.attribute("name").value());
            const std::string rid = s.attribute("r:id").value();
            std::string target;
            for (auto r : rels.child("Relationships").children("Relationship"))
                if (rid == r.attribute("Id").value()) target = r.attribute("Target").value();
            const auto ws = parse(member(zip, "xl/" + target));
            const auto root = ws.child("worksheet");
            const auto view = root.child("sheetViews").child("sheetView");
            sheet.tabSelected = view.attribute("tabSelected").as_int(0) == 1;
            sheet.activeCell = q(view.child("selection").attribute("activeCell").value());
            sheet.sqref = q(view.child("selection").attribute("sqref").value());
            for (auto col : root.child("cols").children("col"))
                for (int c = col.attribute("min").as_int(); c <= col.attribute("max").as_int(); ++c)
                    sheet.widths[c] = col.attribute("width").as_double();
            const auto pane = view.child("pane");
            if (QLatin1String(pane.attribute("state").value()) == QLatin1String("frozen"))
                sheet.frozenRows = pane.attribute("ySplit").as_int(0);
            sheet.autoFilter = q(root.child("autoFilter").attribute("ref").value());
            sheet.summaryBelow = root.child("sheetPr").child("outlinePr").attribute("summaryBelow").as_bool(true);
            for (auto row : root.child("sheetData").children("row")) {
                if (const auto level = row.attribute("outlineLevel"))
                    sheet.rowLevels[row.attribute("r").as_int()] = level.as_int();
                for (auto c : row.children("c")) {
                    Cell cell;
                    cell.type = q(c.attribute("t").value());
                    if (cell.type == QLatin1String("inlineStr")) {
                        cell.text = decoded(c.child("is").child("t").text().get());
                    } else if (cell.type == QLatin1String("s")) {
                        cell.text = shared.at(static_cast<std::size_t>(c.child("v").text().as_int()));
                    } else if (cell.type == QLatin1String("str")) {
                        cell.text = q(c.child("v").text().get());
                    } else {
                        cell.number = c.child("v").text().as_double();
                    }
                    const int s = c.attribute("s").as_int(0);
                    if (s > 0 && static_cast<std::size_t>(s) < xfFormats.size()) {
                        cell.format = xfFormats[static_cast<std::size_t>(s)];
                        cell.indent = xfIndents[static_cast<std::size_t>(s)];
                    }
                    sheet.cells[q(c.attribute("r").value())] = cell;
                }
            }
            book.sheets.push_back(std::move(sheet));
        }
    } catch (...) {
        g_object_unref(zip);
        throw;
    }
    g_object_unref(zip);
    return book;
}

}  // namespace quorrix::testing::xlsx
