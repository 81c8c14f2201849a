#include "params/ids/ParamIdName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

using namespace kestrava;

namespace {

const char* nameOf(std::int64_t number) { return getParamIdName(static_cast<ParamId>(number)); }

bool named(std::int32_t number) { return std::strcmp(nameOf(number), "Unknown ID") != 0; }

}  // namespace

// Numbers with the names the identifier lists give them, the two values outside the lists and
// numbers without a name: first and last names of every range, reserved blocks, misspellings,
// odd case, double and trailing underscores.
TEST(ParamIdNameTest, NumbersGiveTheirListedNames) {
    const struct {
        std::int64_t number;
        const char* name;
    } cases[] = {
        {INT_MIN, "Unknown ID"},
        {-2, "Unknown ID"},
        {-1, "ID_NONE"},
        {0, "PARAM_CpuQuality"},
        {457, "PARAM_inputtilt_on"},
        {458, "PARAM_inputtilt_rc"},
        {524, "PARAM_WebserverEnable"},
        {525, "PARAM_WebserverPort"},
        {532, "ID_ENUMACTION_PRESET_active"},
        {542, "PARAM_INPUT1_Gain"},
        {565, "PARAM_Singleband2_peq"},
        {566, "Unknown ID"},
        {819, "Unknown ID"},
        {820, "PARAM_Singleband2_peq_END"},
        {2163, "DISABLED__PARAM_clipper_varavamask_x16"},
        {2168, "OUTPUT_FM_RF_On"},
        {2520, "PARAM_Distortion_per"},
        {2521, "PARAM_Distortion_per01"},
        {2529, "PARAM_Distortion_per09"},
        {2530, "PARAM_Distortion_per10"},
        {2583, "PARAM_Distortion_per63"},
        {2800, "PARAM_StereoDelay_Enabled"},
        {2890, "PARAM_Multiband3_BandCouplingMatrix_1_10"},
        {2891, "PARAM_Multiband3_BandCouplingMatrix_2_1"},
        {3000, "PARAM_Multiband3_BandCouplingMatrix_Norm_10"},
        {3182, "PARAM_multiband5_on"},
        {3183, "PARAM_Multiband5_DensityDrive"},
        {3189, "ID_OPEN_MULTIBAND5_MEDIAN"},
        {3192, "ID_OPEN_MULTIBAND5_NOFBANDS"},
        {3466, "PARAM_Multiband5_wavessquaredvalue_band9"},
        {3586, "PARAM_Multiband5_BandCouplingMatrix_Norm_10"},
        {3816, "PARAM__debug_monitor_every_step"},
        {3977, "PARAM_Divuzuvedor_SpectralHole_reconstruct_top_nearby_slow_up_flutter_stronger"},
        {3985, "PARAM_FmAnalyser_DreemphasisTime"},
        {4089, "PARAM_CPU_AFFINITY_NORM_2_NEW_7"},
        {4216, "PARAM_RUNSELFTEST_DIRECTORY"},
        {4893, "PARAM_Multiband3_ratio_band0_max_at"},
        {4902, "PARAM_Multiband3_ratio_band9_max_at"},
        {5019, "PARAM_Llb_peq_on"},
        {5058, "PARAM_Llb_PEQ_on"},
        {5253, "PARAM_LLB_no_symmetry"},
        {5325, "DUMMY_PARAM_new_900_bass_level_offset"},
        {5326, "DUMMY_PARAM_bass_new_900_bass_level_offset"},
        {5388, "PARAM_NoiseGate_Band1_MIC"},
        {5394, "PARAM_NoiseGate_Band7_MIC"},
        {5430, "PARAM_MULTIBAND3_MIC__compatibility_skip_flat_frequency"},
        {5842, "PARAM_MULTIBAND3_MIC_max_release_speedup_band9"},
        {5843, "PARAM_multiband3mic_reset_dontshow"},
        {5916, "PARAM_RDS_AFB_SAME_875"},
        {5917, "Unknown ID"},
        {6121, "PARAM_RDS_AFB_SAME_1079"},
        {6122, "PARAM_RDS_AFB_LOCAL_875"},
        {6327, "PARAM_RDS_AFB_LOCAL_1079"},
        {6515, "UNUSED_PARAM_holepunch_warning_dontshow"},
        {6556, "PARAM_MULTIBAND3_MIC_rms_size_band9"},
        {6557, "PARAM_Multiband3_rms_size_band0"},
        {6672, "PARAM_DEM_DeeemphasisTime"},
        {6680, "PARAM_alsaSkipChekcs"},
        {6700, "PARAM_Input1_LiveWire_SubIP"},
        {6701, "PARAM_Input1_LiveWIre_NIC"},
        {6724, "SELF_ENABLED"},
        {6822, "PARAM_DezozAdiziro_strat_drop_at"},
        {6918, "PARAM_LMX_overrule_cpu_settings"},
        {6919, "PARAM_lmx_overrule_soundcard_settings"},
        {7264, "PARAM_Multiband5_peak_mode_attack_speedup_band8"},
        {7265, "PARAM_Multiband5_peak_mode_atlack_speedup_band9"},
        {7811, "PARAM_NCME_gate_threshold_hard_band0"},
        {8105, "NOSAVEPARAM_PollLmsFileLoadAll"},
        {8106, "PARAM_PollLmsTimeScheduleLoadAll"},
        {8124, "PARAM_close_or_tray"},
        {8140, "PARAM_LISTMANAGER_TIMESCHEDULE"},
        {8300, "PARAM_KVRA_NAME_0"},
        {8399, "PARAM_KVRA_NAME_99"},
        {8535, "intrasonics_on"},
        {8628, "PARAM_Multiband5A_ADAPTIVE_iltellilimit_offset_band0"},
        {8738, "PARAM_Multiband4A_ADAPTIVE_intellilimit_peak_band0"},
        {8780, "PARAM_Multiband4A_dBlink_Nm3_Nm2"},
        {8827, "PARAM_Input2_LiveWIre_NIC"},
        {8918, "PARAM_Multiband5A_dBlink_Nm5_Nm2"},
        {9124, "PARAM_END"},
        {9500, "Unknown ID"},
        {9800, "PARAM_FM_Calibrate_VolTone_0"},
        {9854, "NOSAVEPARAM_RecentPreset1"},
        {9953, "NOSAVEPARAM_RecentPreset100"},
        {9954, "NOSAVEPARAM_WebserverSkin"},
        {9999, "Unknown ID"},
        {10000, "ID_BAND1"},
        {10384, "ID_SAVE_AUDIO"},
        {10385, "ID_SAVE_AUDIOFM"},
        {10386, "ID_SAVE_ALLSETTINGS"},
        {10387, "ID_SAVE_TOTALINI"},
        {10409, "ID_WARNMINI_"},
        {10555, "ID_SUBLEVEL_NATURALYDYNAMICS3"},
        {10632, "PARAM_MpxputLevel_Display_DBS"},
        {10708, "ID_SAVE_REPAIR"},
        {10709, "ID_SAVE_PROCESSING"},
        {11030, "ID_SUBLEVEL_KVRA"},
        {11069, "ID_SAVE_REPAIR_NOPNR"},
        {11283, "ID_OPEN_KVRA_SECURITY"},
        {11484, "NOSAVEPARAM__watchcat_overrule_winampoutput"},
        {11500, "NOSAVEPARAM_PollLmsTimeScheduleTime_0"},
        {11550, "NOSAVEPARAM_PollLmsTimeScheduleFile_0"},
        {11600, "NOSAVEPARAM_PollLmsTimeSchedule_Test_0"},
        {11650, "NOSAVEPARAM_PollLmsTimeSchedule_Active_0"},
        {11699, "NOSAVEPARAM_PollLmsTimeSchedule_Active_49"},
        {11700, "PARAM_WARNING_SCHEDULER"},
        {11702, "PARAM_WARNING_CONTROLKE"},
        {11751, "ID_OPEN_INPUT_ITU1770"},
        {11752, "PARAM_itu1170_Reset"},
        {11772, "ID_OPEN_DEZOZADIZIRO_BEHAVIOR_F1024"},
        {11773, "ID_OPEN_DEZOZADIZIRO_BEHAVIOR_F512"},
        {11774, "ID_OPEN_DEZOZADIZIRO_BEHAVIOR_F256"},
        {11777, "ID_OPEN_DEZOZADIZIRO_BEHAVIOR_F2048"},
        {11815, "NOSAFEPARAM_BUTTON_KESTRAVA_ADD_OUTPUT_BEFORE0"},
        {11914, "NOSAFEPARAM_BUTTON_KESTRAVA_ADD_OUTPUT_BEFORE99"},
        {11915, "NOSAFEPARAM_BUTTON_KESTRAVA_REMOVE_OUTPUT_0"},
        {12014, "NOSAFEPARAM_BUTTON_KESTRAVA_REMOVE_OUTPUT_99"},
        {12176, "PARAM_Multiband5_peak_mode_attack_speedup_band8_BADNAME"},
        {12177, "PARAM_Multiband5_peak_mode_atlack_speedup_band9_BADNAME"},
        {12272, "ID_SUBLEVEL_NATURALDYNAMICS_FIRST_DETECTION_MORE"},
        {12273, "ID_SUBLEVEL_NATURALYDYNAMICS_FILTER_MORE"},
        {12297, "ID_OPEN_NATUALDYNAMICS_CFBD"},
        {12361, "NOSAVEPARAM_INSTANCE_INPUTLEVEL_0"},
        {12488, "NOSAVEPARAM_INSTANCE_INPUTLEVEL_127"},
        {12489, "NOSAVEPARAM_INSTANCE_OUTPUTLEVEL_0"},
        {13000, "NOSAVEPARAM_INSTANCE_IOFMOUTPUT_127"},
        {13001, "ID_SUBLEVEL_INSTANCES_0"},
        {13054, "NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY"},
        {13055, "NOSAVEPARAM_PASSWORD_PROTECTIONON_0"},
        {13064, "NOSAVEPARAM_PASSWORD_PROTECTIONON_9"},
        {13065, "NOSAVEPARAM_PASSWORD_STRING_0"},
        {13075, "NOSAVEPARAM_PASSWORD2_STRING_0"},
        {13165, "NOSAVEPARAM_PASSWORD_ACTIVATE"},
        {13245, "ID_biyf_SPEECH"},
        {13262, "ID_KVRA_HYSTERYSIS"},
        {13273, "ID_BIYF_HPF_COMPATIBILITY"},
        {13428, "ID_OPEN_Multiband3_Compatibility"},
        {13440, "ID_SUBLEVEL_NATURALYDYNAMICS3_SUB"},
        {13449, "NOSAVEPARAM_PASSWORD_SET_0"},
        {13458, "NOSAVEPARAM_PASSWORD_SET_9"},
        {13494, "ID_MultibandLegacy_Label_band1"},
        {13503, "ID_MultibandLegacy_Label_band10"},
        {13540, "PARAM_NoiseGate_Label_Band1"},
        {13546, "PARAM_NoiseGate_Label_Band7"},
        {13554, "NOSAVEPARAM_PASSWORD_PROTECTION_MASK_CPU_0"},
        {13563, "NOSAVEPARAM_PASSWORD_PROTECTION_MASK_CPU_9"},
        {13934, "ID_OPEN_BASSEXITER"},
        {13955, "ID_OPEN_MULTIBAND3_MISC"},
        {13996, "PARAM_NoiseGate_Label_Band1_MIC"},
        {14002, "PARAM_NoiseGate_Label_Band7_MIC"},
        {14021, "PARAM_MIC_NAMES"},
        {14022, "PARAM_MIC_NAME_0"},
        {14037, "PARAM_MIC_NAME_15"},
        {14176, "PARAM_MIC_Virtual_0_OUTPUT_TOP"},
        {14191, "PARAM_MIC_Virtual_15_OUTPUT_TOP"},
        {14474, "ID_OPEN_PRESETVELTRA_PROCES"},
        {14616, "ID_WARNMINI__HEAR"},
        {14689, "ID_AGC2A_ADAPTIVE_MOVE_TO_TARGET"},
        {14690, "ID_IDCOUNT"},
        {14691, "Unknown ID"},
        {65535, "Unknown ID"},
        {INT_MAX, "Unknown ID"},
    };
    for (const auto& c : cases) EXPECT_STREQ(nameOf(c.number), c.name) << c.number;
}

TEST(ParamIdNameTest, EnumeratorsHaveTheirFixedNumbers) {
    const struct {
        ParamId id;
        std::int32_t number;
    } cases[] = {
        {ID_NONE, -1},
        {PARAM_CpuQuality, 0},
        {PARAM_inputtilt_on, 457},
        {PARAM_inputtilt_rc, 458},
        {PARAM_WebserverEnable, 524},
        {PARAM_WebserverPort, 525},
        {PARAM_INPUT1_Gain, 542},
        {PARAM_KVRA_Enabled_0, 4217},
        {PARAM_KVRA_IP_0, 4317},
        {PARAM_KVRA_Port_0, 4417},
        {PARAM_KVRA_Interface_0, 4653},
        {PARAM_KVRA_NAME_0, 8300},
        {PARAM_END, 9124},
        {ID_BAND1, 10000},
        {ID_SUBLEVEL_SOUNDCARDS_INPUT, 10188},
        {ID_SAVE_AUDIO, 10384},
        {ID_SAVE_AUDIOFM, 10385},
        {ID_SAVE_ALLSETTINGS, 10386},
        {ID_SAVE_TOTALINI, 10387},
        {ID_SUBLEVEL_KVRA, 11030},
        {ID_SUBLEVEL_KVRA_SECURITY, 11792},
        {ID_SUBLEVEL_KVRA_GPS, 11796},
        {ID_SUBLEVEL_KVRA_PHR_STREAM, 11797},
        {ID_OPEN_SYSTEM_INFO, 13570},
        {NOPARAM_LoggedInAs_0, 13723},
        {ID_SAVE_SELECTED_SUBLEVELS, 14584},
        {ID_AGC2A_ADAPTIVE_MOVE_TO_TARGET, 14689},
        {ID_IDCOUNT, 14690},
    };
    for (const auto& c : cases) EXPECT_EQ(static_cast<std::int32_t>(c.id), c.number) << getParamIdName(c.id);
}

TEST(ParamIdNameTest, ReservedBlocksAndGapsHaveNoNamesAndFullRangesNoGaps) {
    const struct {
        std::int32_t first, last;
        bool named;
    } cases[] = {
        // inner numbers of the five parametric-EQ blocks and the two RDS AF lists
        {566, 819, false}, {1005, 1258, false}, {1276, 1529, false}, {1549, 1802, false},
        {1896, 2149, false}, {5917, 6120, false}, {6123, 6326, false},
        // after PARAM_END and after the FM calibration run
        {9125, 9799, false}, {9955, 9999, false},
        // a range in which every number is named
        {2800, 4216, true},
    };
    for (const auto& c : cases) {
        for (std::int32_t n = c.first; n <= c.last; ++n) ASSERT_EQ(named(n), c.named) << n;
    }
}

// Code addresses series members as member 0 plus n, so a series must keep consecutive numbers
// in counting order.
TEST(ParamIdNameTest, SeriesKeepConsecutiveNumbers) {
    const struct {
        std::int32_t firstNumber;
        const char* prefix;
        const char* suffix;
        int firstMember, lastMember;
    } cases[] = {
        {4217, "PARAM_KVRA_Enabled_", "", 0, 99},
        {4317, "PARAM_KVRA_IP_", "", 0, 99},
        {4417, "PARAM_KVRA_Port_", "", 0, 99},
        {4653, "PARAM_KVRA_Interface_", "", 0, 99},
        {7956, "PARAM_PASSWORD_USERNAME_", "", 0, 9},
        {8300, "PARAM_KVRA_NAME_", "", 0, 99},
        {9854, "NOSAVEPARAM_RecentPreset", "", 1, 100},
        {11815, "NOSAFEPARAM_BUTTON_KESTRAVA_ADD_OUTPUT_BEFORE", "", 0, 99},
        {11915, "NOSAFEPARAM_BUTTON_KESTRAVA_REMOVE_OUTPUT_", "", 0, 99},
        {13170, "NOSAVEPARAM_PASSWORD_USERNAME_", "", 0, 9},
        {13494, "ID_MultibandLegacy_Label_band", "", 1, 10},
        {13573, "NOSAVEPARAM_USERNAME2_", "", 0, 49},
        {13723, "NOPARAM_LoggedInAs_", "", 0, 49},
        {14176, "PARAM_MIC_Virtual_", "_OUTPUT_TOP", 0, 15},
        {14515, "NOSAVEPARAM_RIGHTS_ISSUE_", "", 0, 48},
    };
    for (const auto& c : cases) {
        for (int member = c.firstMember; member <= c.lastMember; ++member) {
            const std::int32_t number = c.firstNumber + (member - c.firstMember);
            EXPECT_EQ(nameOf(number), std::string(c.prefix) + std::to_string(member) + c.suffix) << number;
        }
        EXPECT_NE(nameOf(c.firstNumber + (c.lastMember - c.firstMember) + 1),
                  std::string(c.prefix) + std::to_string(c.lastMember + 1) + c.suffix);
    }
}

TEST(ParamIdNameTest, NamedNumbersPerRange) {
    const struct {
        std::int32_t first, last;
        int count;
    } cases[] = {
        {0, 2799, 1530},     {2800, 4216, 1417},   {4217, 5887, 1670},   {5888, 7810, 1506},
        {7811, 9999, 1454},  {10000, 11699, 1541}, {11700, 13165, 1452}, {13166, 14689, 1476},
        {0, ID_IDCOUNT - 1, 12046},
    };
    for (const auto& c : cases) {
        int count = 0;
        for (std::int32_t n = c.first; n <= c.last; ++n) count += named(n);
        EXPECT_EQ(count, c.count) << c.first << "-" << c.last;
    }
}

// Families by prefix; the longer of two overlapping prefixes is listed first.
TEST(ParamIdNameTest, NamesAreDistinctPlainAndFallIntoTheirFamilies) {
    struct Family {
        const char* prefix;
        int expected;
        int count = 0;
    };
    Family families[] = {
        {"NOSAVEPARAM_", 1530}, {"NOSAFEPARAM_", 200}, {"DISABLED_", 1}, {"FMOUTPUT_", 2},
        {"OUTPUT_", 78},        {"NOPARAM_", 52},      {"INPUT2_", 2},   {"INPUT_", 12},
        {"LOCK_", 12},          {"REMOVED_", 9},       {"DUMMY_", 5},    {"DEBUG_", 3},
        {"UNUSED_", 1},         {"SELF_", 1},          {"OBSOLETE_", 1}, {"PARAM_", 7880},
        {"ID_", 2255},          {"", 2},
    };
    Family idKinds[] = {{"ID_SUBLEVEL_", 312}, {"ID_OPEN_", 1331}, {"ID_SAVE_", 8}, {"ID_ENUMACTION_", 7}};
    std::set<std::string_view> seen;
    std::size_t longest = 0;
    for (std::int32_t n = 0; n < ID_IDCOUNT; ++n) {
        if (!named(n)) continue;
        const std::string_view name = nameOf(n);
        EXPECT_TRUE(seen.insert(name).second) << "twice: " << name;
        EXPECT_EQ(name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_"),
                  std::string_view::npos)
            << n;
        longest = std::max(longest, name.size());
        for (Family& f : families) {
            if (name.starts_with(f.prefix)) {
                ++f.count;
                break;
            }
        }
        for (Family& k : idKinds) k.count += name.starts_with(k.prefix);
    }
    EXPECT_EQ(longest, 78u);
    for (const Family& f : families) EXPECT_EQ(f.count, f.expected) << "'" << f.prefix << "'";
    for (const Family& k : idKinds) EXPECT_EQ(k.count, k.expected) << k.prefix;
}

TEST(ParamIdNameTest, TableIndexTestIsUnsigned) {
    const struct {
        std::int32_t number;
        bool inRange;
    } cases[] = {{INT_MIN, false}, {ID_NONE, false},    {0, true},
                 {14689, true},    {ID_IDCOUNT, false}, {INT_MAX, false}};
    for (const auto& c : cases) EXPECT_EQ(isParamIdIndex(c.number), c.inRange) << c.number;
}
