#pragma once

#include "params/ParamTable.h"
#include "params/WidgetUpdate.h"

#include "params/ReplyReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// An owner with access protection off, that counts user changes and collects warnings.
struct TestOwner : kestrava::params::ParamTable {
    TestOwner() {
        onWarning = [this](std::string_view t) { warnings.emplace_back(t); };
    }
    std::vector<std::string> warnings;
};

inline const kestrava::params::NamePair& noNames() {
    static const kestrava::params::NamePair empty;
    return empty;
}

// Runs one widget through the update step and returns its words (header included).
inline std::vector<std::uint16_t> update(kestrava::params::Param& p, int clientView,
                                         std::vector<std::int32_t> values) {
    kestrava::params::WordWriter out;
    kestrava::params::applyWidgetUpdate(p, kestrava::params::RequestContext{clientView}, values, out);
    return out.data();
}

// The request head of a widget: its id, with bit 17 for an expanded resend.
inline std::int32_t head(kestrava::params::Param& p, bool expand = false) {
    return static_cast<std::int32_t>(p.id()) | (expand ? (1 << 17) : 0);
}

// The only widget of a reply, with a cursor over its body.
struct OneWidget {
    std::vector<std::uint16_t> words;
    replyreader::Widget widget;
    explicit OneWidget(std::vector<std::uint16_t> w) : words(std::move(w)) {
        auto all = replyreader::readWidgets(words);
        if (all.size() != 1) throw std::runtime_error("expected one widget, got " + std::to_string(all.size()));
        widget = all[0];
    }
    replyreader::Cursor body() const { return replyreader::Cursor(words, widget.bodyBegin, widget.end); }
};
