// The files that xob-decode --html and --trace-event write, and the writers that fill them as the
// printer hands on the selected records.
#ifndef XOB_TOOLS_DECODE_PICTURE_H
#define XOB_TOOLS_DECODE_PICTURE_H

#include "HtmlWriter.h"
#include "Printer.h"
#include "TraceEventWriter.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace xob {
namespace decoder {

class Picture {
public:
    Picture() = default;
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Creates the files that are named (an empty name: none) and hands the printer their writers;
    // false, with a message, when a file cannot be created. `inputs` name the page.
    bool open(const std::string& html, const std::string& traceEvent, const std::vector<std::string>& inputs,
              RecordPrinter& printer);
    // Completes and closes the files; false, with a message, when one could not be written.
    bool finish();

private:
    struct Output {
        std::string name;
        std::FILE* file = nullptr;
    };
    static bool create(Output& output, const std::string& name);
    static bool close(Output& output, bool written);

    Output m_htmlFile;
    Output m_traceFile;
    std::unique_ptr<HtmlWriter> m_html;
    std::unique_ptr<TraceEventWriter> m_trace;
};

}  // namespace decoder
}  // namespace xob

#endif
