// 导出CSV of the window "操作日志": every entry the search matches, not only
// the rows read so far, written a page at a time from the window's event
// loop (so the window stays live and the export can be cancelled), with
// times in UTC and in the reader's zone.
//
// The entries go to "<file>.part", which replaces the file only when the
// last page is in: a cancelled or failed export leaves the file as it was
// and no half-written one.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <QTimeZone>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>

#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/dialogs/AuditLogLogic.h"

namespace warden::console {

class AuditExport {
  public:
    // Entries per request: the most the server gives at once.
    static constexpr int kPageSize = 1000;

    // REQUIRES: every reference outlives this object.
    AuditExport(Transport& transport, MessageSink& sink, QTimeZone zone);
    // An export not finished is cancelled.
    ~AuditExport();
    AuditExport(const AuditExport&) = delete;
    AuditExport& operator=(const AuditExport&) = delete;

    // How many entries `filter` matches now: -1 when the server does not
    // say (one from before the count); nullopt, after a message, when it
    // refuses or does not answer.
    std::optional<int64_t> CountMatching(const AuditFilterParams& filter);

    // Starts writing the entries of `filter` to `file`. False, after a
    // message, when the file cannot be written.
    bool Start(const AuditFilterParams& filter, const std::filesystem::path& file);
    // Reads and writes the next page; on the last, puts the file in place.
    // Returns whether more is to come. A failure is said, and ends the
    // export with the file as it was. Does nothing while the transport is
    // busy.
    bool Step();
    // Stops and leaves the file as it was.
    void Cancel();

    int64_t Written() const { return m_written; }
    // The whole export is in the file.
    bool Done() const { return m_done; }

  private:
    void Abandon(const std::string& why);

    Transport& m_transport;
    MessageSink& m_sink;
    QTimeZone m_zone;
    AuditFilterParams m_filter;
    std::filesystem::path m_file;
    std::filesystem::path m_part;
    std::ofstream m_out;
    std::optional<AuditRecord> m_last;  // the last entry written: the cursor
    int64_t m_written = 0;
    bool m_running = false;
    bool m_done = false;
};

}  // namespace warden::console
