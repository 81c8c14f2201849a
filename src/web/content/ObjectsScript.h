#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrava::web::content {

// The texts of "/objects.js", the script every page loads before its main script: the page's
// session id, the widget and scale type codes, the drawing limits of the graph widgets, and the
// widget type of every parameter by id:
//
//   let GUI_INDEX = "1234";
//   const WIDGETTYPE = {OMITTED: 0, WAVE: 1, ...};
//   const MAX_SIZE_X_WAVE =         2048;
//   T[0]=7;T[1]=12;...
//
// The reply is plain ASCII sent as it is written; the script ends when the connection closes.
namespace objects_script {

using Writer = std::function<void(std::string_view)>;

// The reply to a session that no record holds.
inline constexpr std::string_view staleSessionReply =
    "HTTP/1.0 409 SERVER ERROR\r\nContent-Type: application/octet-stream\r\nAccess-Control-Allow-Origin: *\r\n\r\n"
    "Session is no longer active";

// The status line and headers, then the lines up to "let T = {};\n", each piece one write.
void writeHead(std::int32_t sessionId, const Writer& write);

// The table part: the drawing limits, then one "T[id]=type;" per parameter with an id, gathered
// and written whenever more than 32,768 characters wait, and a line end at the finish.
class TableWriter {
public:
    static constexpr std::size_t batchChars = 32'768;

    explicit TableWriter(Writer write);
    // Parameters without an id (negative) have no entry.
    void add(std::int32_t id, int widgetType);
    void finish();

private:
    Writer write;
    std::string batch;
};

}  // namespace objects_script

}  // namespace kestrava::web::content
