#include "web/content/ObjectsScript.h"

#include <fmt/format.h>

namespace kestrava::web::content::objects_script {

namespace {

constexpr std::string_view widgetTypeNames[] = {
    "OMITTED",      "WAVE",        "MPX",           "RF",          "PEQ",         "DISPLAYONE",  "DISPLAYTWO",
    "SLIDER",       "BOOL_CHECK",  "HEX",           "DEC",         "STRING",      "ENUM",        "BOOL_SWITCH",
    "ENUMACTION2",  "MBBANDS",     "BUTTON",        "SPECTRUM",    "ENUMACTION2A", "CORVIXKOEKERROR",
    "KESTRAVARECEIVER", "HEADER",  "DISPLAYDBS",    "LINK",        "BOOL_STATUS", "LISTMANAGER", "DCWAVE",
};
static_assert(std::size(widgetTypeNames) == 27);

constexpr std::string_view scaleTypeNames[] = {"None", "Decibel", "Percent", "Hertz", "Integer"};

struct Limit {
    std::string_view name;
    int value;
};
constexpr Limit drawingLimits[] = {
    {"MAX_SIZE_X_WAVE", 2048}, {"MAX_SIZE_X_KVRARECEIVER", 1024}, {"MAX_SIZE_X_MBBANDS", 1024},
    {"MAX_SIZE_X_PEQ", 2048},  {"MAX_SIZE_X_RF", 1024},           {"MAX_SIZE_X_SPECTRUM", 64},
    {"MAX_SIZE_X_MPX", 1024},  {"MAX_KOEK_ERRORS", 64},
};
constexpr std::size_t limitNameColumn = 32;  // "const NAME =" padded with blanks to this width

}  // namespace

void writeHead(std::int32_t sessionId, const Writer& write) {
    write("HTTP/1.0 200 OK\r\nContent-Type: application/javascript; charset=ISO-8859-1\r\n"
          "Cache-Control: hmax-age=3600\r\n\r\n");
    write("let WEBSOCKETS_SUPPORTED = true ;\n\n");
    write(fmt::format("let GUI_INDEX = \"{}\";\n", sessionId));
    std::string types = "const WIDGETTYPE = {";
    for (std::size_t i = 0; i < std::size(widgetTypeNames); ++i) {
        types += fmt::format("{}{}: {}", i == 0 ? "" : ", ", widgetTypeNames[i], i);
    }
    types += "};\n";
    write(types);
    std::string scales = "const SCALETYPE = {";
    for (std::size_t i = 0; i < std::size(scaleTypeNames); ++i) {
        scales += fmt::format("{}{}: {}", i == 0 ? "" : ",   ", scaleTypeNames[i], i);
    }
    scales += "};\n";
    write(scales);
    write("let WIDGETS = {};\n");
    write("let T = {};\n");
}

TableWriter::TableWriter(Writer write_) : write(std::move(write_)) {
    batch.reserve(batchChars + 64);
    for (const Limit& limit : drawingLimits) {
        std::string line = fmt::format("const {} =", limit.name);
        if (line.size() < limitNameColumn) line.append(limitNameColumn - line.size(), ' ');
        batch += fmt::format("{}{};\n", line, limit.value);
    }
}

void TableWriter::add(std::int32_t id, int widgetType) {
    if (id < 0) return;
    batch += fmt::format("T[{}]={};", id, widgetType);
    if (batch.size() > batchChars) {
        write(batch);
        batch.clear();
    }
}

void TableWriter::finish() {
    if (!batch.empty()) write(batch);
    batch.clear();
    write("\n");
}

}  // namespace kestrava::web::content::objects_script
