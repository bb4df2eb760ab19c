#include "QtOSGPluginBase/SetOfChunks.h"

std::ostream& operator<<(std::ostream& stream, const SetOfChunks& chunks)
{
    return chunks.print(stream, "SelectedChunks:");
}
