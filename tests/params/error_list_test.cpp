// The error list: adding, replacing, dismissing, its words, and posting from many threads.
#include "params/PCorvixKoekError.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

#include <thread>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
struct ErrorList : testing::Test {
    TestOwner owner;
    PCorvixKoekError list{owner, 2, kestrava::ID_CORVIX_KOEK_ERRORS, ""};
    void SetUp() override { list.updateViewFlags(); }
    // The records a view receives (forced when asked).
    std::vector<replyreader::ErrorRecord> records(int view, bool force) {
        WordWriter out;
        WidgetContext w;
        w.effectiveView = view;
        w.force = force;
        list.writeWireState(RequestContext{view}, w, out);
        replyreader::Cursor c(out.data());
        return replyreader::readErrorList(c);
    }
};
}  // namespace

TEST_F(ErrorList, NewListWrites256Words) {
    WordWriter out;
    WidgetContext w;
    w.effectiveView = 3;
    w.expand = true;
    list.writeWireState(RequestContext{3}, w, out);
    ASSERT_EQ(out.size(), 256u);
    for (std::uint16_t i = 0; i < 64; ++i) {
        EXPECT_EQ(out.data()[4 * i], i);
        EXPECT_EQ(out.data()[4 * i + 1], 0);
        EXPECT_EQ(out.data()[4 * i + 2], 0);
        EXPECT_EQ(out.data()[4 * i + 3], 0);
    }
}

TEST_F(ErrorList, AddCountsAndItsWords) {
    list.addError("abc", 0);
    WordWriter out;
    WidgetContext w;
    w.effectiveView = 3;
    list.writeWireState(RequestContext{3}, w, out);
    EXPECT_EQ(out.data(), (std::vector<std::uint16_t>{0, 0, 1, 0, 3, 0x6162, 0x6300})) << "only the change";
    list.addError("abc", 0);
    const auto e = list.entries();
    EXPECT_EQ(e[0].count, 2);
    EXPECT_EQ(e[1].count, 0);
    // Once served, a view gets nothing more until something changes; its partner still gets it.
    EXPECT_EQ(records(3, false).size(), 1u);
    EXPECT_TRUE(records(3, false).empty());
    EXPECT_EQ(records(4, false).size(), 1u);
}

TEST_F(ErrorList, DismissAndReuse) {
    list.addError("abc", 0);
    EXPECT_TRUE(list.dismissError(0));
    list.addError("abc", 0);
    auto e = list.entries();
    EXPECT_EQ(e[0].text, "abc") << "the cleared entry with the same text shows again";
    EXPECT_EQ(e[0].count, 1);
    EXPECT_TRUE(list.dismissError(0));
    list.addError("other", 0);
    list.addError("abc", 0);
    e = list.entries();
    EXPECT_EQ(e[0].text, "other") << "a different text takes the first free entry";
    EXPECT_EQ(e[1].text, "abc");
    EXPECT_FALSE(list.dismissError(64));
    EXPECT_FALSE(list.dismissError(-2));
    EXPECT_TRUE(list.dismissError(-1));
    list.valueChanged.clear(allViewBits);
    EXPECT_FALSE(list.dismissError(-1));
    EXPECT_EQ(list.valueChanged.word(), 0u);
    // A request with 3 and -1 clears entry 3 and then everything.
    for (int i = 0; i < 5; ++i) list.addError("t" + std::to_string(i), 0);
    update(list, 3, {kestrava::ID_CORVIX_KOEK_ERRORS, 3, -1});
    for (const auto& x : list.entries()) EXPECT_EQ(x.count, 0);
    update(list, 3, {kestrava::ID_CORVIX_KOEK_ERRORS, 99});
    EXPECT_EQ(owner.warnings.size(), 1u);
}

TEST_F(ErrorList, KeysFullListAndLongTexts) {
    list.replaceError(6, "first");
    list.replaceError(6, "second");
    auto e = list.entries();
    EXPECT_EQ(e[0].key, 6);
    EXPECT_EQ(e[0].text, "second");
    EXPECT_EQ(e[0].count, 1);
    EXPECT_EQ(e[1].count, 0);
    list.addError("", 0);
    list.replaceError(6, "");
    EXPECT_EQ(list.entries()[0].text, "second");
    list.addError(std::string(300, 'x'), 0);
    EXPECT_EQ(list.entries()[1].text.size(), 256u);
    const auto rec = records(3, true);
    EXPECT_EQ(rec[1].text.size(), 256u);
    for (int i = 2; i < 64; ++i) list.addError("m" + std::to_string(i), 0);
    list.addError("one too many", 0);
    for (const auto& x : list.entries()) EXPECT_NE(x.text, "one too many");
}

TEST_F(ErrorList, PostingThreadsAndAWebReader) {
    std::atomic<bool> done{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([this, t] {
            for (int i = 0; i < 500; ++i) {
                if (i % 3 == 0) {
                    list.replaceError(t + 1, "keyed " + std::to_string(i));
                } else {
                    list.addError("thread " + std::to_string(t) + " message " + std::to_string(i % 80), 0);
                }
            }
        });
    }
    std::thread web([&] {
        while (!done.load()) {
            update(list, 3, {kestrava::ID_CORVIX_KOEK_ERRORS, (static_cast<int>(list.entries().size()) % 64)});
            records(4, true);
        }
    });
    for (auto& p : posters) p.join();
    done.store(true);
    web.join();
    int set = 0;
    for (const auto& x : list.entries()) set += x.count > 0 ? 1 : 0;
    EXPECT_GT(set, 0);
}
