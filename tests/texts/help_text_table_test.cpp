#include "texts/HelpTextTable.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>

using namespace kestrava;
using kestrava::texts::helpTextTable;

namespace {

std::string_view textOf(std::int32_t id) { return helpTextTable.text[static_cast<std::size_t>(id)]; }
int flagOf(std::int32_t id) { return helpTextTable.flag[static_cast<std::size_t>(id)]; }
const char* pointerOf(std::int32_t id) { return helpTextTable.text[static_cast<std::size_t>(id)]; }

}  // namespace

// The totals of the table as a whole: how many slots differ from the default, how many texts
// and distinct texts, how many marks, and where the rows stop.
TEST(HelpTextTableTest, TotalsOfTheTable) {
    int nonDefault = 0, withText = 0, flagged = 0, flaggedEmpty = 0, highest = -1;
    std::set<std::string_view> distinct;
    std::set<const char*> pointers;
    std::set<const char*> emptyPointers;
    for (int id = 0; id < ID_IDCOUNT; ++id) {
        const char* text = pointerOf(id);
        ASSERT_NE(text, nullptr) << "slot " << id;
        const int flag = flagOf(id);
        ASSERT_TRUE(flag == 0 || flag == 1) << "slot " << id;
        const bool hasText = text[0] != '\0';
        if (!hasText) emptyPointers.insert(text);
        if (hasText || flag != 0) {
            ++nonDefault;
            highest = id;
        }
        if (hasText) {
            ++withText;
            distinct.insert(text);
            pointers.insert(text);
        }
        if (flag == 1) ++flagged;
        if (flag == 1 && !hasText) ++flaggedEmpty;
    }
    EXPECT_EQ(nonDefault, 1783);
    EXPECT_EQ(withText, 1723);
    EXPECT_EQ(distinct.size(), 1176u);
    // Identical texts are one constant, and there is a single empty text.
    EXPECT_EQ(pointers.size(), distinct.size());
    EXPECT_EQ(emptyPointers.size(), 1u);
    EXPECT_EQ(flagged, 693);
    EXPECT_EQ(flaggedEmpty, 60);
    EXPECT_EQ(highest, ID_OPEN_KVRA_SETTINGS_GPS);
    EXPECT_EQ(highest, 11733);
}

// How widely texts are shared: 158 texts serve more than one identifier, 705 identifiers in all,
// and the most widely shared one serves the release speeds of two singleband compressors and of
// the ten bands of two multiband compressors.
TEST(HelpTextTableTest, SharedTexts) {
    std::map<const char*, int> users;
    for (int id = 0; id < ID_IDCOUNT; ++id)
        if (pointerOf(id)[0] != '\0') ++users[pointerOf(id)];
    int shared = 0, sharing = 0, widest = 0;
    for (const auto& [text, count] : users) {
        if (count > 1) {
            ++shared;
            sharing += count;
        }
        widest = std::max(widest, count);
    }
    EXPECT_EQ(shared, 158);
    EXPECT_EQ(sharing, 705);
    EXPECT_EQ(widest, 22);
    EXPECT_EQ(users[pointerOf(PARAM_Singleband1_upspeed)], 22);
    for (int band = 0; band < 10; ++band) {
        EXPECT_EQ(pointerOf(PARAM_Multiband3_upspeed_band0 + band), pointerOf(PARAM_Singleband1_upspeed)) << band;
        EXPECT_EQ(pointerOf(PARAM_Multiband5_upspeed_band0 + band), pointerOf(PARAM_Singleband2_upspeed)) << band;
    }
}

// The form every text keeps: 7-bit ASCII, the line feed as the only control character and only
// in runs of two or more, no blank or line feed at the start.
TEST(HelpTextTableTest, EveryTextKeepsTheForm) {
    for (int id = 0; id < ID_IDCOUNT; ++id) {
        const std::string_view text = textOf(id);
        if (text.empty()) continue;
        EXPECT_NE(text.front(), ' ') << id;
        EXPECT_NE(text.front(), '\n') << id;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << id << " at " << i;
            if (c == '\n') {
                const bool before = i > 0 && text[i - 1] == '\n';
                const bool after = i + 1 < text.size() && text[i + 1] == '\n';
                EXPECT_TRUE(before || after) << "lone line feed in " << id << " at " << i;
            }
        }
    }
}

// Single slots as the rows give them: texts quoted whole, the marks, shared constants, and
// identifiers without a row.
TEST(HelpTextTableTest, RowsAsListed) {
    // No row: the default.
    for (const std::int32_t id : {PARAM_CpuQuality, ID_AGC2A_ADAPTIVE_MOVE_TO_TARGET, PARAM_LoudnessLimit,
                                  PARAM_KVRA_Interface_1, PARAM_Multiband3_Freq_band1, PARAM_MultibandVol2}) {
        EXPECT_EQ(textOf(id), "") << id;
        EXPECT_EQ(flagOf(id), 0) << id;
    }
    EXPECT_EQ(pointerOf(PARAM_CpuQuality), pointerOf(ID_AGC2A_ADAPTIVE_MOVE_TO_TARGET));
    // The unnamed numbers between two named members of an array.
    for (int id = PARAM_RDS_AFB_SAME_875 + 1; id < PARAM_RDS_AFB_SAME_1079; ++id) {
        EXPECT_EQ(textOf(id), "") << id;
        EXPECT_EQ(flagOf(id), 0) << id;
    }
    // The mark without a text.
    for (const std::int32_t id : {PARAM_KVRA_Version, NOSAVEPARAM_SWVERSION, PARAM_AGC2BASS_downspeed,
                                  PARAM_EQ_PEQ_Gain_0, PARAM_CPU_AFFINITY_NORM_2_E_NEW_6}) {
        EXPECT_EQ(textOf(id), "") << id;
        EXPECT_EQ(flagOf(id), 1) << id;
    }
    EXPECT_EQ(textOf(PARAM_DSO_WinampOutput), "drop down menu: ");
    EXPECT_EQ(textOf(PARAM_DSO_WinampOutput).size(), 16u);
    EXPECT_EQ(textOf(PARAM_KVRA_Encoder_Enabled), "Global settings for the Kestrava server");
    EXPECT_EQ(textOf(PARAM_KVRA_Encoder_Enabled).size(), 39u);
    EXPECT_EQ(flagOf(PARAM_KVRA_Encoder_Enabled), 1);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(pointerOf(PARAM_KVRA_Enabled_0 + i), pointerOf(PARAM_KVRA_Enabled_0)) << i;
        EXPECT_EQ(flagOf(PARAM_KVRA_Enabled_0 + i), 1) << i;
    }
    EXPECT_EQ(textOf(PARAM_KVRA_Enabled_9), "Enables or disables sending Kestrava traffic to each destination individually.");
    EXPECT_EQ(textOf(NOSAVEPARAM_KVRA_Password_Apply), "Hashes the password.");
    EXPECT_EQ(flagOf(NOSAVEPARAM_KVRA_Password_Apply), 1);
    EXPECT_EQ(textOf(ID_OPEN_KVRA), "All the target (decoder) addresses.");
    EXPECT_EQ(flagOf(ID_OPEN_KVRA), 0);
    EXPECT_EQ(textOf(PARAM_KVRA_RedundancyPacketDelay),
              "Adjusts how frequently the error correction packets will be sent. A setting of 0 will disable "
              "sending of error correction packets. Smaller values will send packets more frequently and consume "
              "additional bandwidth.");
    EXPECT_EQ(textOf(ID_SUBLEVEL_KVRA),
              "Controls the built-in Kestrava encoder.\n\nKestrava is a codec that can be used to send the full "
              "composite signal, including pilot and RDS, with perfect peak control and no MPEG-like artifacts, "
              "from Lumora to your transmitter, using only low bitrates.\n\nSeveral error recovery and redundancy "
              "measures are built in.");
    EXPECT_EQ(textOf(PARAM_WebServer_Whitelist).substr(0, 53),
              "Whitelist of IP addresses for web interface access.\n\n");
    EXPECT_EQ(flagOf(PARAM_WebServer_Whitelist), 1);
    EXPECT_EQ(textOf(PARAM_NCME_protect_weird_shapes), "- ");
    // Shared constants, also where the marks differ.
    EXPECT_EQ(pointerOf(ID_OPEN_NORMALSOUNDCARD_ASIO), pointerOf(ID_OPEN_NORMALSOUNDCARD));
    EXPECT_EQ(pointerOf(ID_OPEN_INPUTSOUNDCARD_GAIN), pointerOf(ID_OPEN_INPUTSOUNDCARD_GAIN2));
    EXPECT_EQ(pointerOf(PARAM_Llb_gate), pointerOf(PARAM_Singleband1_gate));
    EXPECT_EQ(flagOf(PARAM_Llb_gate), 0);
    EXPECT_EQ(flagOf(PARAM_Singleband1_gate), 1);
    EXPECT_EQ(pointerOf(PARAM_NCME_BASS_Bands), pointerOf(PARAM_NCME_Bands));
    EXPECT_EQ(flagOf(PARAM_NCME_BASS_Bands), 0);
    EXPECT_EQ(flagOf(PARAM_NCME_Bands), 1);
    EXPECT_NE(pointerOf(ID_OPEN_Multiband5_SPEEDUP), pointerOf(ID_OPEN_Multiband4_SPEEDUP));
    // Labels of other settings with "{}" in place of the band number stay as they are.
    EXPECT_NE(textOf(PARAM_MultibandAtt1).find("Band {} soft limit"), std::string_view::npos);
    for (const std::int32_t id : {PARAM_MultibandAtt1, PARAM_MultibandDec1, PARAM_MultibandClip1, PARAM_MultibandLimiter,
                                  PARAM_MultibandPostprocess, PARAM_MultibandEnableClipping,
                                  PARAM_MultibandEqualizerBeforeMultiband})
        EXPECT_NE(textOf(id).find("{}"), std::string_view::npos) << id;
}
