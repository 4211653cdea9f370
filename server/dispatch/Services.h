// The back-ends that request handlers work on. The shell owns them for the
// whole run and fills this in before the first request; handlers only borrow.
#pragma once

namespace warden {

class AdminStore;
class ImService;
class DeptPlacement;
class AuditRecorder;
class AuditTrail;
class LoginFlow;
class LoginThrottle;
class SessionRegistry;

struct Services {
    AdminStore* adminStore = nullptr;
    ImService* im = nullptr;
    DeptPlacement* ordering = nullptr;
    AuditTrail* auditTrail = nullptr;  // read by "GetAuditLog.asp"
    AuditRecorder* audit = nullptr;    // null: nothing is recorded
    LoginFlow* login = nullptr;        // null: logins are checked on the worker
    LoginThrottle* throttle = nullptr;  // null: a wrong old password is not counted
    SessionRegistry* sessions = nullptr;  // null: logins are neither counted nor ended
};

}  // namespace warden
