// Text parameters, password fields and display texts.
#include "params/PString.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
std::vector<std::int32_t> textGroup(Param& p, std::string_view text) {
    std::vector<std::int32_t> v{head(p), static_cast<std::int32_t>(text.size())};
    for (char c : text) v.push_back(static_cast<unsigned char>(c));
    return v;
}

struct Account : testing::Test {
    TestOwner owner;
    PString user{owner, 1, static_cast<ParamId>(800), 64, "", ShortKey("U"), noNames(), NamePair("User"), "User",
                 "%s"};
    PString password{owner, 1, static_cast<ParamId>(801), 64, "", ShortKey("P"), noNames(), NamePair("Pass"),
                     "Password", "%s"};
    void SetUp() override {
        password.setPasswordMode(&user);
        user.updateViewFlags();
        password.updateViewFlags();
    }
};
}  // namespace

TEST(Sha256, IndependentDigests) {
    // Digests computed with sha256sum.
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("Admin@~%secret/3^^"), "f84a68c3858986dcb621590ce732699029c0c5358491a3c22108977b29a34a6d");
}

TEST_F(Account, ServerSideEntryIsHashedWithTheUserName) {
    user.setValue("Admin");
    EXPECT_TRUE(password.setFromTypedText("secret", false));
    EXPECT_EQ(password.current(), "f84a68c3858986dcb621590ce732699029c0c5358491a3c22108977b29a34a6d");
    EXPECT_EQ(password.current().size(), 64u);
    EXPECT_EQ(password.getText(0), "******");
    const std::string first = password.current();
    // The web client's text is taken as sent.
    EXPECT_TRUE(password.setFromTypedText("abc", true));
    EXPECT_EQ(password.current(), "abc");
    // Another user name gives another digest; an empty password stores the empty text.
    user.setValue("Other");
    EXPECT_TRUE(password.setFromTypedText("secret", false));
    EXPECT_NE(password.current(), first);
    EXPECT_TRUE(password.setFromTypedText("", false));
    EXPECT_EQ(password.current(), "");
    EXPECT_EQ(password.getText(0), "");
}

TEST_F(Account, ChangingTheUserNameEmptiesItsPasswords) {
    user.setValue("Admin");
    password.setValue("digest");
    EXPECT_FALSE(user.setValue("Admin"));
    EXPECT_EQ(password.current(), "digest") << "the same user name clears nothing";
    password.valueChanged.clear(allViewBits);
    EXPECT_TRUE(user.setValue("Admin2"));
    EXPECT_EQ(password.current(), "");
    EXPECT_EQ(password.valueChanged.word(), allViewBits);
}

TEST_F(Account, PasswordWords) {
    password.setValue("0123456789abcdef");
    OneWidget w(update(password, 3, {head(password, true)}));
    EXPECT_EQ(w.widget.header.type, STRING);
    auto c = w.body();
    const auto field = replyreader::readTextFieldDescription(c);
    EXPECT_EQ(field.maxLen, 64);
    EXPECT_TRUE(field.isPassword);
    EXPECT_TRUE(field.dontStorePassword);
    EXPECT_FALSE(field.supportsNewline);
    EXPECT_EQ(field.hashWithId, 800);
    const auto state = replyreader::readTextState(c);
    EXPECT_EQ(state.valueText, "**********");
    EXPECT_EQ(state.editableText, "");
    EXPECT_TRUE(c.atEnd());
}

TEST(PString, WebTextsCutAndLatin1) {
    TestOwner o;
    PString s(o, 4, static_cast<ParamId>(810), 24, "", ShortKey("S"), noNames(), NamePair("Desc"), "Description",
              "%s");
    s.updateViewFlags();
    const std::string latin1 = "Stra\xDF" "e \xC4\xD6\xDC caf\xE9";
    OneWidget w(update(s, 3, textGroup(s, latin1)));
    auto c = w.body();
    const auto state = replyreader::readTextState(c);
    EXPECT_EQ(state.valueText, latin1);
    EXPECT_EQ(state.editableText, latin1);
    EXPECT_TRUE(s.takeChangedSinceStore());
    EXPECT_FALSE(s.takeChangedSinceStore());
    s.setValue(std::string(30, 'a'));
    EXPECT_EQ(s.current(), std::string(24, 'a'));
    EXPECT_FALSE(s.setValue(std::string(24, 'a') + "zzz"));
    // A text with a control byte is refused and reported once.
    const std::size_t before = o.warnings.size();
    update(s, 3, textGroup(s, "bad\x01text"));
    EXPECT_EQ(s.current(), std::string(24, 'a'));
    EXPECT_EQ(o.warnings.size(), before + 1);
    WordWriter d;
    s.writeWireValue(d);
    EXPECT_EQ(d.data(), (std::vector<std::uint16_t>{24, 0, 1, 0, 0xFFFF, 0xFFFF}));
}

TEST(PDisplayText, ReadOnlyNoticeAndRow) {
    TestOwner o;
    auto row = createDisplayText(o, 4, static_cast<ParamId>(820), 128, "RDS", "Last received ancillary data", "%s");
    row->updateTextWidth();
    row->updateViewFlags();
    WordWriter d;
    row->writeWireValue(d);
    EXPECT_EQ(d.data(), (std::vector<std::uint16_t>{128, 0, 0, 0, 0xFFFF, 0xFFFF}));
    update(*row, 3, textGroup(*row, "changed"));
    EXPECT_EQ(row->current(), "RDS");
    EXPECT_FALSE(row->isPersistent());
    EXPECT_FALSE(row->isEditable(3));
    auto notice = createDisplayText(o, 2, static_cast<ParamId>(821), 0, "",
                                    "No user accounts have been set up. You have full access to all the settings.", "");
    EXPECT_FALSE(notice->isTranslatable());
    EXPECT_FALSE(notice->isPersistentInView(-1));
    EXPECT_EQ(notice->getText(0), "");
    auto named = createDisplayText(o, 4, static_cast<ParamId>(822), 10, "v1", "Version %s", "");
    EXPECT_EQ(named->name(), "Version v1");
    named->setValue("v2");
    EXPECT_EQ(named->name(), "Version v2");
}
