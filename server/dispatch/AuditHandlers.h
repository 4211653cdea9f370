// "GetAuditLog.asp": the audit trail for the super administrator's console,
// newest first, a page at a time (format in protocol/AuditRecord.h).
#pragma once

namespace warden {

class Dispatcher;

void RegisterAuditHandlers(Dispatcher& dispatcher);

}  // namespace warden
