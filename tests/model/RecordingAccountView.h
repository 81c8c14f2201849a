#pragma once

#include "model/AccountView.h"
#include "model/UserAccounts.h"

#include <map>
#include <string>
#include <utility>

// Keeps what the accounts and logins tell the rows, for the checks.
class RecordingAccountView : public kestrava::model::AccountView {
public:
    using Field = kestrava::model::MarkedField;

    void setErrorMark(Field field, int index, bool marked) override { marks[{field, index}] = marked; }
    void showRightsIssue(int slot, bool shown) override { rightsIssue[slot] = shown; }
    void accountsCommitted(const kestrava::model::UserAccounts&) override { ++commits; }
    void committedEnabledChanged(int account, bool enabled) override { enabledRows[account] = enabled; }
    void loggedInAsChanged(int slot, const std::string& name) override { loggedInAs[slot] = name; }
    void settingsPending() override { ++pending; }

    bool marked(Field field, int index) const {
        const auto it = marks.find({field, index});
        return it != marks.end() && it->second;
    }
    bool issueShown(int slot) const {
        const auto it = rightsIssue.find(slot);
        return it != rightsIssue.end() && it->second;
    }

    std::map<std::pair<Field, int>, bool> marks;
    std::map<int, bool> rightsIssue;
    std::map<int, bool> enabledRows;
    std::map<int, std::string> loggedInAs;
    int commits = 0;
    int pending = 0;
};
