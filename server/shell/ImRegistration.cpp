#include "server/shell/ImRegistration.h"

#include "directory/ImError.h"
#include "server/shell/ComErrorReport.h"

namespace warden {

namespace {

// Runs `step`; an ImError is reported in the error format, anything else with
// `unknownText`. False on any failure.
template <typename Step>
bool Guarded(StartupView& view, const char* unknownText, Step&& step) {
    try {
        step();
        return true;
    } catch (const ImError& e) {
        view.ShowMessage(ReportComError(e), kServerTitle, MessageIcon::kError);
    } catch (...) {
        view.ShowMessage(unknownText, kServerTitle, MessageIcon::kError);
    }
    return false;
}

}  // namespace

bool ConnectAndRegister(std::shared_ptr<ImRoot>& root, const RootFactory& factory,
                        const std::string& address, int port, StartupView& view) {
    if (!root) {
        try {
            root = factory();
        } catch (...) {
            root.reset();
        }
    }
    if (!root) return true;

    ImApplication* app = nullptr;
    if (!Guarded(view, "初始化APIObj对象发生未知异常", [&] { app = &root->GetApplication(); })) {
        return false;
    }

    const bool registered = Guarded(view, "注册时发生未知异常", [&] {
        app->SetServerAddress(address);
        app->SetServerPort(port);
        app->SetAppGuid(kAppGuid);
        app->SetAppName(kAppName);
        app->SetOptionNumber1(0);
        app->SetOptionText1("All");
        app->SetProgId(kProgId);
        app->SetOptionText2("none");
        app->SetOptionText3("anyone");
        app->SetReceiverName(kReceiverName);
        app->SetOptionText4("anystate");
        app->SetOptionNumber2(0);
        app->SetOptionText5("");
        app->Register();
    });
    if (!registered) return false;

    const bool started = Guarded(view, "启动时发生未知异常", [&] {
        root->SetServerAddress(address);
        root->SetServerPort(port);
        app->SetAppGuid(kAppGuid);
        app->Start("", 1000);
    });
    if (!started) return false;
    view.ShowMessage("启动成功", kServerTitle, MessageIcon::kInformation);
    view.SetStartEnabled(false);
    return true;
}

}  // namespace warden
