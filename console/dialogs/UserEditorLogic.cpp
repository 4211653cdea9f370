#include "console/dialogs/UserEditorLogic.h"

#include <algorithm>
#include <vector>

#include "console/core/ConsoleTexts.h"
#include "console/core/FieldRules.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {
constexpr int kLevelCount = 50;
constexpr std::string_view kOpUpdate = "update";
}  // namespace

UserEditorLogic::UserEditorLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window,
                                 UserEditorMode mode, std::string presetDept,
                                 std::string initialRoles)
    : m_transport(transport),
      m_sink(sink),
      m_window(window),
      m_mode(mode),
      m_presetDept(std::move(presetDept)),
      m_tree(transport, sink, window.Login()) {
    if (m_mode == UserEditorMode::kUpdate) m_form.roles = std::move(initialRoles);
}

const std::vector<std::string>& UserEditorLogic::Levels() {
    static const std::vector<std::string> levels = [] {
        std::vector<std::string> all;
        for (int level = 0; level < kLevelCount; ++level) all.push_back(std::to_string(level));
        return all;
    }();
    return levels;
}

const char* UserEditorLogic::Title() const {
    return m_mode == UserEditorMode::kAdd ? text::kAddUserTitle : text::kUpdateUserTitle;
}

void UserEditorLogic::Open() {
    if (m_mode == UserEditorMode::kAdd) {
        if (!m_presetDept.empty()) m_depts.Add(m_presetDept);
        m_form.level = Levels().front();
        // The directory stores 男 for a user sent without one; the box says
        // so instead of starting blank.
        m_form.gender = text::kMale;
    } else {
        FillFromCurrentRow();
        LoadUserDepts();
    }
    m_tree.Rebuild();
}

void UserEditorLogic::FillFromCurrentRow() {
    int current = m_window.TakeCurrentUserRow();
    if (current == 0 || current > m_window.Users().Size()) return;
    const UserRow& row = m_window.Users().At(current - 1);
    m_editedRow = &row;
    m_editedAccount = row.Account();
    m_form.account = row.cells[kColAccount];
    m_form.name = row.cells[kColName];
    m_form.mobile = row.cells[kColMobile];
    m_form.email = row.cells[kColEmail];
    m_form.phone = row.cells[kColPhone];
    m_form.position = row.cells[kColPosition];
    const std::vector<std::string>& levels = Levels();
    const std::string& level = row.cells[kColLevel];
    m_form.level = std::find(levels.begin(), levels.end(), level) != levels.end() ? level : "";
    m_form.gender = EqualsNoCase(row.cells[kColGender], text::kMale) ? text::kMale : text::kFemale;
}

void UserEditorLogic::LoadUserDepts() {
    std::vector<ParamItem> params = {{key::kUsername, m_form.account}};
    // A second-level administrator's server says whether the user also has
    // departments he cannot see; an older server leaves the mark out.
    if (!m_window.Login().IsSuper()) params.push_back({key::kOutside, "1"});
    std::string reply = m_transport.SendRequest(req::kGetUserDepts, ComposeParams(params));
    ShowReplyMessage(m_sink, reply);
    if (HasErrorPrefix(reply)) return;
    constexpr std::string_view kMark = "|outside:";
    if (const size_t mark = reply.rfind(kMark); mark != std::string::npos) {
        m_partlyOutside = Trim(std::string_view(reply).substr(mark + kMark.size())) == "1";
        reply.erase(mark);
    }
    // " " is the server's word for none; it is no department.
    m_deptsAtOpening = std::string(Trim(reply));
    for (const std::string& dept : SplitList(m_deptsAtOpening, ",")) m_depts.Add("\\" + dept);
}

void UserEditorLogic::ClickTree(const DeptNode* selected) {
    m_chosenDept = m_tree.Click(selected);
}

void UserEditorLogic::AddChosenDept() {
    if (m_chosenDept.empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kChooseDept);
        return;
    }
    std::string entry = m_chosenDept + "\\";
    if (m_depts.FindExact(entry) >= 0) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                           "部门 [" + entry + "] 已存,请重新选择");
        return;
    }
    m_depts.Add(std::move(entry));
}

UserSubmitOutcome UserEditorLogic::Submit(const UserForm& typed) {
    if (m_depts.Empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kDeptsEmpty);
        return UserSubmitOutcome::kStayOpen;
    }
    UserForm sent = typed;
    sent.account = std::string(Trim(typed.account));
    std::string depts;
    for (const std::string& dept : m_depts.Items()) depts.append(dept).append("|");
    if (sent.account.empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kAccountEmpty);
        return UserSubmitOutcome::kFocusAccount;
    }
    if (!CheckTyped(sent)) {
        m_form = typed;
        return UserSubmitOutcome::kStayOpen;
    }
    if (sent.gender.empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kChooseGender);
        m_form = typed;
        return UserSubmitOutcome::kStayOpen;
    }

    const bool update = m_mode == UserEditorMode::kUpdate;
    if (m_partlyOutside) {
        // Not his to change (the boxes are shut): sent as they were, so the
        // server is not asked for what it refuses.
        sent.password.clear();
        sent.name = m_form.name;
    }
    // Update mode sends the same items, led by "op" and with the departments
    // the editor opened with right after the current ones.
    std::vector<ParamItem> items = {
        {key::kUsername, sent.account},  {key::kDeptNameLower, depts}, {key::kName, sent.name},
        {key::kPosition, sent.position}, {key::kGender, sent.gender},  {key::kMobile, sent.mobile},
        {key::kPhone, sent.phone},       {key::kEmail, sent.email},    {key::kPwd, sent.password},
        {key::kRoles, sent.roles},       {key::kLevel, sent.level}};
    if (update) {
        items.insert(items.begin() + 2, {key::kNewDeptName, m_deptsAtOpening});
        items.insert(items.begin(), {key::kOp, kOpUpdate});
    }
    const std::string request = ComposeParams(items);
    std::string reply = m_transport.SendRequest(req::kUserAdd, request);
    // Without a reply nothing is known to be saved: the form stays filled.
    if (!ShowUnsavedWithoutReply(m_sink, reply)) ShowReplyMessage(m_sink, reply);
    if (!HasInfoPrefix(reply)) {
        m_form = typed;
        return UserSubmitOutcome::kStayOpen;
    }

    if (update) {
        UpdateEditedRow(sent);
        return UserSubmitOutcome::kClose;
    }
    int row = m_window.AddUserRow(sent.account);
    m_window.FillUserRow(sent.account, row);
    // Ready for the next user: the departments, roles, level and gender stay.
    m_form = UserForm{};
    m_form.roles = typed.roles;
    m_form.level = typed.level;
    m_form.gender = typed.gender;
    return UserSubmitOutcome::kSubmitted;
}

bool UserEditorLogic::CheckTyped(const UserForm& sent) {
    using enum FieldKind;
    return CheckFields(m_sink,
                       {{text::kAccountLabel, sent.account, kName, limits::kAccount},
                        {text::kPasswordLabelUser, sent.password, kValue, limits::kPassword},
                        {text::kNameLabel, sent.name, kValue, limits::kUserName},
                        {text::kPositionLabel, sent.position, kValue, limits::kPosition},
                        {text::kMobileLabel, sent.mobile, kValue, limits::kMobile},
                        {text::kPhoneLabel, sent.phone, kValue, limits::kPhone},
                        {text::kEmailLabel, sent.email, kValue, limits::kEmail}});
}

void UserEditorLogic::UpdateEditedRow(const UserForm& sent) {
    if (m_editedRow == nullptr) return;
    // The row may have moved (or gone) while the dialog was open.
    int row = m_window.Users().IndexOf(m_editedRow, m_editedAccount);
    if (row < 0) return;
    m_window.SetUserCell(row, kColName, sent.name);
    m_window.SetUserCell(row, kColGender, sent.gender);
    m_window.SetUserCell(row, kColMobile, sent.mobile);
    m_window.SetUserCell(row, kColEmail, sent.email);
    m_window.SetUserCell(row, kColPhone, sent.phone);
    m_window.SetUserCell(row, kColPosition, sent.position);
    m_window.SetUserCell(row, kColLevel, sent.level);
    // What the directory stored, and the panel when it shows this user.
    m_window.RefreshUser(m_editedAccount, row);
}

}  // namespace warden::console
