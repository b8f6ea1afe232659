#include "Stats.h"

#include "Format.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace xob {
namespace decoder {

namespace {

void merge(Stats::Row& into, const Stats::Row& row) {
    if (row.timed) {
        into.first = into.timed ? std::min(into.first, row.first) : row.first;
        into.last = into.timed ? std::max(into.last, row.last) : row.last;
        into.timed = true;
    }
    into.count += row.count;
    into.bytes += row.bytes;
}

// Records per minute between the first and the last; negative when there is no such span.
double perMinute(const Stats::Row& row) {
    if (!row.timed || row.last <= row.first) {
        return -1;
    }
    return static_cast<double>(row.count) * 6000.0 / static_cast<double>(row.last - row.first);
}

std::vector<std::pair<const char*, Stats::Row>> sortedRows(const Stats::Source& source) {
    std::vector<std::pair<const char*, Stats::Row>> rows(source.rows.begin(), source.rows.end());
    std::sort(rows.begin(), rows.end(), [](const std::pair<const char*, Stats::Row>& a,
                                           const std::pair<const char*, Stats::Row>& b) {
        return std::strcmp(a.first, b.first) < 0;
    });
    return rows;
}

void writeSourceText(std::FILE* out, const Stats::Source& source) {
    std::fprintf(out, "%s: %zu records, %zu damaged, %llu bytes, %llu bytes skipped\n", source.name.c_str(),
                 source.records, source.damaged, static_cast<unsigned long long>(source.bytes),
                 static_cast<unsigned long long>(source.skipped));
    std::fprintf(out, "  %-44s %9s %11s %12s %12s %9s\n", "entry", "count", "bytes", "first", "last", "per min");
    for (const auto& row : sortedRows(source)) {
        const Stats::Row& r = row.second;
        const std::string first = r.timed ? formatClock(r.first) : "-";
        const std::string last = r.timed ? formatClock(r.last) : "-";
        char rate[32] = "-";
        if (perMinute(r) >= 0) {
            std::snprintf(rate, sizeof rate, "%.2f", perMinute(r));
        }
        std::fprintf(out, "  %-44s %9zu %11llu %12s %12s %9s\n", row.first, r.count,
                     static_cast<unsigned long long>(r.bytes), first.c_str(), last.c_str(), rate);
    }
}

void appendSourceJson(std::string& out, const Stats::Source& source, bool named) {
    out += '{';
    if (named) {
        out += "\"source\":";
        appendJsonString(out, source.name.data(), source.name.size());
        out += ',';
    }
    out += "\"records\":" + std::to_string(source.records) + ",\"damaged\":" + std::to_string(source.damaged) +
           ",\"bytes\":" + std::to_string(source.bytes) + ",\"skippedBytes\":" + std::to_string(source.skipped) +
           ",\"entries\":[";
    bool firstRow = true;
    for (const auto& row : sortedRows(source)) {
        const Stats::Row& r = row.second;
        out += firstRow ? "{\"entry\":" : ",{\"entry\":";
        firstRow = false;
        appendJsonString(out, row.first, std::strlen(row.first));
        out += ",\"count\":" + std::to_string(r.count) + ",\"bytes\":" + std::to_string(r.bytes);
        out += ",\"first\":" + (r.timed ? std::to_string(r.first) : "null");
        out += ",\"last\":" + (r.timed ? std::to_string(r.last) : "null");
        char rate[32] = "null";
        if (perMinute(r) >= 0) {
            std::snprintf(rate, sizeof rate, "%.4f", perMinute(r));
        }
        out += ",\"perMinute\":";
        out += rate;
        out += '}';
    }
    out += "]}";
}

}  // namespace

void Stats::beginSource(const std::string& name) {
    m_sources.emplace_back();
    m_sources.back().name = name;
}

void Stats::count(const DecodedRecord& record) {
    if (m_sources.empty()) {
        beginSource("-");
    }
    Source& source = m_sources.back();
    ++source.records;
    source.damaged += record.damaged() ? 1 : 0;
    source.bytes += record.size;
    source.skipped += record.command < 0 ? record.size : 0;
}

void Stats::add(const DecodedRecord& record, const std::uint64_t* elapsed) {
    if (m_sources.empty()) {
        beginSource("-");
    }
    Row& row = m_sources.back().rows[record.name()];
    ++row.count;
    row.bytes += record.size;
    if (elapsed != nullptr) {
        row.first = row.timed ? std::min(row.first, *elapsed) : *elapsed;
        row.last = row.timed ? std::max(row.last, *elapsed) : *elapsed;
        row.timed = true;
    }
}

Stats::Source Stats::total() const {
    Source total;
    total.name = "all";
    for (const Source& source : m_sources) {
        total.records += source.records;
        total.damaged += source.damaged;
        total.bytes += source.bytes;
        total.skipped += source.skipped;
        for (const auto& row : source.rows) {
            merge(total.rows[row.first], row.second);
        }
    }
    return total;
}

void Stats::writeText(std::FILE* out) const {
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        std::fprintf(out, "%s", i == 0 ? "" : "\n");
        writeSourceText(out, m_sources[i]);
    }
    if (m_sources.size() > 1) {
        std::fprintf(out, "\n");
        writeSourceText(out, total());
    }
}

void Stats::writeJson(std::FILE* out) const {
    std::string text = "{\"schema\":" + std::to_string(kJsonSchemaVersion) + ",\"sources\":[";
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        text += i == 0 ? "" : ",";
        appendSourceJson(text, m_sources[i], true);
    }
    text += "],\"total\":";
    appendSourceJson(text, total(), false);
    text += "}\n";
    std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace decoder
}  // namespace xob
