#pragma once

#include "model/InstanceAccounts.h"
#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PEnum.h"
#include "params/PString.h"
#include "settings/ChoiceLists.h"
#include "settings/EncoderSettings.h"
#include "settings/EncoderSettingsTree.h"
#include "settings/NetworkInterfaceList.h"
#include "settings/TreeSources.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace account_tree {

using namespace kestrava;
using params::PBool;
using params::PButton;
using params::PEnum;
using params::PString;
using model::InstanceAccounts;

inline ParamId nth(ParamId first, int n) { return static_cast<ParamId>(first + n); }

// The entries of one section of a settings file: key name to stored text.
using SavedRights = std::map<std::string, std::string>;

class NoInterfaces final : public NetworkInterfaceList {
public:
    std::int32_t networkInterfaceCount() override { return 0; }
    net::NetworkInterface getNetworkInterface(std::int32_t n) override { return {"Invalid index", "0.0.0.0", "::0", n}; }
};

// One instance's whole settings tree with its accounts tied to the rows, as a program declares it.
struct Instance {
    settings::EncoderSettings settings{192000};
    settings::SoundcardChoices soundcards;
    settings::InterfaceChoices interfaces;
    params::ParamTable table;
    InstanceAccounts accounts{table};
    std::vector<std::unique_ptr<params::Param>> rows;

    // `more` adds to the declaration's sources (actions of other rows) before the rows are built.
    explicit Instance(const std::function<void(Instance&, settings::TreeSources&)>& more = {}) {
        NoInterfaces none;
        settings::fillSoundcardList(soundcards, {});
        settings::fillInterfaceList(interfaces, none);
        settings::TreeSources sources;
        sources.settings = &settings;
        sources.soundcards = &soundcards;
        sources.interfaces = &interfaces;
        accounts.fillSources(sources);
        if (more) more(*this, sources);
        rows = settings::buildEncoderSettings(table, sources);
        for (auto& r : rows) table.registerParam(*r);
        accounts.rows.rowsFollowRights = [this] {
            for (auto& r : rows) r->updateViewFlags();
        };
    }

    template <class P>
    P& row(ParamId first, int n = 0) {
        auto* p = dynamic_cast<P*>(table.findParam(nth(first, n)));
        EXPECT_NE(p, nullptr) << first << "+" << n;
        return *p;
    }
    // What a client's browser sends: the password field hashes with its user-name field.
    void typeAccount(int j, bool enabled, const std::string& name, const std::string& password, int admin,
                     int settingsAccess) {
        row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_0, j).setValue(enabled);
        row<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0, j).setValue(name);
        row<PString>(NOSAVEPARAM_PASSWORD_STRING_0, j).setFromTypedText(password, false);
        row<PString>(NOSAVEPARAM_PASSWORD2_STRING_0, j).setFromTypedText(password, false);
        row<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, j).setValue(admin);
        row<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0, j).setValue(settingsAccess);
    }
    void typeLogin(int n, const std::string& name, const std::string& password) {
        row<PString>(NOSAVEPARAM_USERNAME2_0, n).setValue(name);
        row<PString>(NOSAVEPARAM_PASSWORD2_0, n).setFromTypedText(password, false);
    }
    void press(ParamId first, int n, int view) { row<PButton>(first, n).press(view); }
    void logIn(int n, const std::string& name, const std::string& password) {
        typeLogin(n, name, password);
        press(NOSAVEPARAM_PASSWORD_LOGIN2_0, n, n);
    }

    // Administrator "Admin" with password "secret" switches the protection on from view 3,
    // with four more accounts, one per row of the rights table.
    void protect() {
        row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY).setValue(true);
        typeAccount(0, true, "Admin", "secret", 3, 3);
        typeAccount(1, true, "ops", "pw1", 0, 3);
        typeAccount(2, true, "viewer", "pw2", 1, 1);
        typeAccount(3, true, "keeper", "pw3", 3, 0);
        typeAccount(4, true, "guest", "pw4", 0, 0);
        typeLogin(3, "Admin", "secret");
        press(NOSAVEPARAM_PASSWORD_ACTIVATE, 0, 3);
        ASSERT_TRUE(row<PBool>(PARAM_PASSWORD_PROTECTIONON_ANY).current());
    }

    SavedRights saved(const std::string& section = "User rights") const {
        SavedRights out;
        for (const auto& r : rows) {
            if (!r->isPersistent() || r->sectionName() != section) continue;
            for (int i = 0; i < r->valueCount(); ++i) out[r->keyName(i)] = r->saveText(i);
        }
        return out;
    }
    // What loading the file does to the rows, followed by the steps after a whole-file load.
    void load(const SavedRights& saved) {
        for (auto& r : rows) {
            if (!r->isPersistent() || r->sectionName() != "User rights") continue;
            for (int i = 0; i < r->valueCount(); ++i) {
                const auto it = saved.find(r->keyName(i));
                if (it != saved.end()) r->setFromSaveText(i, it->second);
            }
        }
        accounts.afterWholeFileLoad();
    }
};

}  // namespace account_tree
