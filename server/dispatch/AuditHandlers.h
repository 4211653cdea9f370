// "GetAuditLog.asp": the audit trail for the super administrator's console,
// newest first, a page at a time (format in protocol/AuditRecord.h), or how
// many entries match ("total=1": the reply is "total:N").
#pragma once

namespace warden {

class Dispatcher;

void RegisterAuditHandlers(Dispatcher& dispatcher);

}  // namespace warden
