// The floor for the import benchmark: the least a program can do to turn plans in Project's XML
// format into the same workbook cells. It parses each file with pugixml, takes the four fields
// of every task, and writes them with libxlsxwriter in its constant-memory mode, nothing else:
// no checks, no fitting, no automation interfaces.
//
//   floor [--layout one-sheet|sheet-per-file] --output FILE.xlsx PLAN...

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>
#include <xlsxwriter.h>

namespace {

void header(lxw_worksheet* sheet) {
    worksheet_write_string(sheet, 0, 0, "Task Name", nullptr);
    worksheet_write_string(sheet, 0, 1, "Duration", nullptr);
    worksheet_write_string(sheet, 0, 2, "Start Date", nullptr);
    worksheet_write_string(sheet, 0, 3, "Finish Date", nullptr);
}

double minutes(const char* text) {
    int h = 0, m = 0, s = 0;
    std::sscanf(text, "PT%dH%dM%dS", &h, &m, &s);
    return h * 60.0 + m + s / 60.0;
}

void writeDate(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const char* text, lxw_format* dateTime,
               lxw_format* date) {
    lxw_datetime t{};
    std::sscanf(text, "%d-%d-%dT%d:%d:%lf", &t.year, &t.month, &t.day, &t.hour, &t.min, &t.sec);
    worksheet_write_datetime(sheet, row, col, &t, (t.hour == 0 && t.min == 0 && t.sec == 0) ? date : dateTime);
}

}  // namespace

int main(int argc, char** argv) {
    bool oneSheet = true;
    const char* output = nullptr;
    std::vector<const char*> plans;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--layout") == 0 && i + 1 < argc) {
            oneSheet = std::strcmp(argv[++i], "sheet-per-file") != 0;
        } else if (std::strcmp(argv[i], "--output") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else {
            plans.push_back(argv[i]);
        }
    }
    if (!output) {
        std::fprintf(stderr, "usage: floor [--layout one-sheet|sheet-per-file] --output FILE.xlsx PLAN...\n");
        return 2;
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(output, &options);
    if (!book) return 2;
    lxw_format* dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "m/d/yyyy h:mm");
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "m/d/yyyy");

    lxw_worksheet* sheet = nullptr;
    lxw_row_t row = 1;
    if (oneSheet) {
        sheet = workbook_add_worksheet(book, nullptr);
        header(sheet);
    }
    int failed = 0;
    for (const char* path : plans) {
        if (!oneSheet) {
            sheet = workbook_add_worksheet(book, nullptr);
            header(sheet);
            row = 1;
        }
        // The same parse as the plan reader's: text stored with its element, no separate nodes.
        pugi::xml_document document;
        if (!document.load_file(path, pugi::parse_default | pugi::parse_embed_pcdata)) {
            ++failed;
            continue;
        }
        for (pugi::xml_node task : document.child("Project").child("Tasks").children("Task")) {
            if (std::atoi(task.child_value("ID")) == 0 || std::atoi(task.child_value("IsNull")) == 1) continue;
            worksheet_write_string(sheet, row, 0, task.child_value("Name"), nullptr);
            worksheet_write_number(sheet, row, 1, minutes(task.child_value("Duration")), nullptr);
            writeDate(sheet, row, 2, task.child_value("Start"), dateTime, date);
            writeDate(sheet, row, 3, task.child_value("Finish"), dateTime, date);
            ++row;
        }
    }
    if (workbook_close(book) != LXW_NO_ERROR) return 2;
    std::printf("Done.\n");
    return failed ? 1 : 0;
}
