#include "vexdir/VexApplication.h"

#include <chrono>

#include "vexdir/LocalAddress.h"
#include "vexdir/Names.h"

namespace warden::vexdir {

namespace {

int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void VexApplication::SetServerAddress(const std::string& address) {
    CheckText("server address", address);
    std::lock_guard lock(m_mutex);
    m_registration.serverAddress = address;
}

void VexApplication::SetServerPort(int port) {
    if (port < 0 || port > 65535) {
        throw ImError(im_code::kInvalidArgument, kErrorSource,
                      "port " + std::to_string(port) + " is out of range");
    }
    std::lock_guard lock(m_mutex);
    m_registration.serverPort = port;
}

void VexApplication::SetAppGuid(const std::string& guid) {
    CheckText("application GUID", guid);
    std::lock_guard lock(m_mutex);
    m_registration.guid = guid;
}

void VexApplication::SetAppName(const std::string& name) {
    CheckText("application name", name);
    std::lock_guard lock(m_mutex);
    m_registration.name = name;
}

void VexApplication::SetProgId(const std::string& progId) {
    CheckText("program identifier", progId);
    std::lock_guard lock(m_mutex);
    m_registration.progId = progId;
}

void VexApplication::SetReceiverName(const std::string& name) {
    CheckText("receiver name", name);
    std::lock_guard lock(m_mutex);
    m_registration.receiverName = name;
}

void VexApplication::SetOptionNumber1(int value) {
    std::lock_guard lock(m_mutex);
    m_registration.optionNumber1 = value;
}

void VexApplication::SetOptionNumber2(int value) {
    std::lock_guard lock(m_mutex);
    m_registration.optionNumber2 = value;
}

void VexApplication::SetOptionText1(const std::string& value) {
    CheckText("option text", value);
    std::lock_guard lock(m_mutex);
    m_registration.optionText[0] = value;
}

void VexApplication::SetOptionText2(const std::string& value) {
    CheckText("option text", value);
    std::lock_guard lock(m_mutex);
    m_registration.optionText[1] = value;
}

void VexApplication::SetOptionText3(const std::string& value) {
    CheckText("option text", value);
    std::lock_guard lock(m_mutex);
    m_registration.optionText[2] = value;
}

void VexApplication::SetOptionText4(const std::string& value) {
    CheckText("option text", value);
    std::lock_guard lock(m_mutex);
    m_registration.optionText[3] = value;
}

void VexApplication::SetOptionText5(const std::string& value) {
    CheckText("option text", value);
    std::lock_guard lock(m_mutex);
    m_registration.optionText[4] = value;
}

void VexApplication::Register() {
    Registration r;
    {
        std::lock_guard lock(m_mutex);
        r = m_registration;
    }
    if (r.guid.empty() || r.name.empty()) {
        throw ImError(im_code::kInvalidArgument, kErrorSource,
                      "an application needs a GUID and a name to register");
    }
    // Registering at another machine's address would let the operator
    // believe that a remote directory is being managed.
    std::string problem;
    if (!IsAddressOfThisMachine(r.serverAddress, problem)) {
        throw ImError(im_code::kUnreachable, kErrorSource,
                      "VEX服务器IP " + r.serverAddress +
                          " 不是本机的地址：内嵌的VEX目录只在本机运行，请填写本机的地址"
                          "（如127.0.0.1）" +
                          (problem.empty() ? "" : " (" + problem + ")"));
    }
    m_db.Write([&](sqlite::Connection& db) {
        db.Prepare(
              "INSERT OR REPLACE INTO vex_application(AppGuid, AppName, ProgId, ReceiverName, "
              "ServerAddress, ServerPort, OptionNumber1, OptionNumber2, OptionText1, "
              "OptionText2, OptionText3, OptionText4, OptionText5, RegisteredAt) "
              "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .Bind(1, r.guid)
            .Bind(2, r.name)
            .Bind(3, r.progId)
            .Bind(4, r.receiverName)
            .Bind(5, r.serverAddress)
            .Bind(6, r.serverPort)
            .Bind(7, r.optionNumber1)
            .Bind(8, r.optionNumber2)
            .Bind(9, r.optionText[0])
            .Bind(10, r.optionText[1])
            .Bind(11, r.optionText[2])
            .Bind(12, r.optionText[3])
            .Bind(13, r.optionText[4])
            .Bind(14, NowSeconds())
            .Run();
    });
}

void VexApplication::Start(const std::string& value, int timeoutMs) {
    CheckText("start value", value);
    std::string guid;
    {
        std::lock_guard lock(m_mutex);
        guid = m_registration.guid;
    }
    m_db.Write([&](sqlite::Connection& db) {
        db.Prepare(
              "UPDATE vex_application SET StartedAt = ?, StartValue = ?, StartTimeoutMs = ? "
              "WHERE AppGuid = ?")
            .Bind(1, NowSeconds())
            .Bind(2, value)
            .Bind(3, timeoutMs)
            .Bind(4, guid)
            .Run();
        if (db.Changes() == 0) {
            throw ImError(im_code::kFail, kErrorSource,
                          "application \"" + guid + "\" is not registered");
        }
    });
}

}  // namespace warden::vexdir
