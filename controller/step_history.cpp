#include "step_history.h"

std::size_t CStepHistory::BytesOf(const CStepRecord& record)
{
    const std::size_t heapText = record.message.capacity() > 15 ? record.message.capacity() : 0;
    return sizeof record + heapText + record.machine.clearedBlock.capacity() * sizeof(CCncValue);
}

void CStepHistory::Push(CStepRecord&& record)
{
    record.machine.clearedBlock.shrink_to_fit();
    const std::size_t recordBytes = BytesOf(record);
    // A command that needs more than the whole budget cannot be taken back,
    // and neither can any before it.
    if (recordBytes > budget) {
        Clear();
        return;
    }
    while (!records.empty() && bytes + recordBytes > budget) {
        bytes -= BytesOf(records.front());
        records.pop_front();
    }
    bytes += recordBytes;
    records.push_back(std::move(record));
}

CStepRecord CStepHistory::Pop()
{
    CStepRecord record = std::move(records.back());
    records.pop_back();
    bytes -= BytesOf(record);
    return record;
}

void CStepHistory::Clear()
{
    std::deque<CStepRecord>().swap(records);
    bytes = 0;
}
