#include "word_list.h"

WordPosition CWordList::GetNext(WordPosition position) const
{
    if (position == NO_POSITION || position + 1 >= words.size())
        return NO_POSITION;
    return position + 1;
}

WordPosition CWordList::GetPrevious(WordPosition position) const
{
    if (position == NO_POSITION || position == 0 || position > words.size())
        return NO_POSITION;
    return position - 1;
}
