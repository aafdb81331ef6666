// The stepping commands taken so far, newest last, each with what it changed
// kept as it was before: taking one back costs the same on a program of
// millions of words as on one of twenty. The oldest are dropped once the
// history holds more than its byte budget.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "machine_state.h"
#include "panel_interfaces.h"
#include "word_list.h"

struct CStepRecord {
    WordPosition cursor = CWordList::NO_POSITION;
    // False while the message line still shows the panel's first text.
    bool hasMessage = false;
    std::string message;
    bool hasView = false;
    CProgramViewState view;
    CMachineUndo machine;
};

class CStepHistory {
public:
    // 64 MB holds far more than 100,000 commands of ordinary blocks.
    static constexpr std::size_t DEFAULT_BUDGET = 64u << 20;

    explicit CStepHistory(std::size_t budget = DEFAULT_BUDGET) : budget(budget) {}

    void Push(CStepRecord&& record);
    bool IsEmpty() const { return records.empty(); }
    std::size_t GetCount() const { return records.size(); }
    std::size_t GetBytes() const { return bytes; }
    // The newest record, removed. The history must not be empty.
    CStepRecord Pop();
    void Clear();

private:
    static std::size_t BytesOf(const CStepRecord& record);

    std::size_t budget;
    std::deque<CStepRecord> records;
    std::size_t bytes = 0;
};
