#include "QtOSGPluginBase/SetOfNodes.h"

std::ostream& operator<<(std::ostream& stream, const SetOfNodes& nodes)
{
    return nodes.print(stream, "SelectedNodes:");
}
