#include "Picture.h"

#include <cerrno>
#include <cstring>

namespace xob {
namespace decoder {

Picture::~Picture() {
    for (Output* output : {&m_htmlFile, &m_traceFile}) {
        if (output->file != nullptr) {
            std::fclose(output->file);
        }
    }
}

bool Picture::create(Output& output, const std::string& name) {
    output.name = name;
    output.file = std::fopen(name.c_str(), "wb");
    if (output.file == nullptr) {
        std::fprintf(stderr, "xob-decode: cannot write %s: %s\n", name.c_str(), std::strerror(errno));
    }
    return output.file != nullptr;
}

bool Picture::close(Output& output, bool written) {
    if (output.file == nullptr) {
        return true;
    }
    written = std::fclose(output.file) == 0 && written;
    output.file = nullptr;
    if (!written) {
        std::fprintf(stderr, "xob-decode: cannot write %s\n", output.name.c_str());
    }
    return written;
}

bool Picture::open(const std::string& html, const std::string& traceEvent, const std::vector<std::string>& inputs,
                   RecordPrinter& printer) {
    if ((!html.empty() && !create(m_htmlFile, html)) || (!traceEvent.empty() && !create(m_traceFile, traceEvent))) {
        return false;
    }
    if (m_htmlFile.file != nullptr) {
        std::string title;
        for (const std::string& input : inputs) {
            title += (title.empty() ? "" : ", ") + input;
        }
        m_html.reset(new HtmlWriter(m_htmlFile.file, title));
        printer.addSink(m_html.get());
    }
    if (m_traceFile.file != nullptr) {
        m_trace.reset(new TraceEventWriter(m_traceFile.file));
        printer.addSink(m_trace.get());
    }
    return true;
}

bool Picture::finish() {
    const bool html = close(m_htmlFile, m_html == nullptr || m_html->finish());
    const bool trace = close(m_traceFile, m_trace == nullptr || m_trace->finish());
    return html && trace;
}

}  // namespace decoder
}  // namespace xob
