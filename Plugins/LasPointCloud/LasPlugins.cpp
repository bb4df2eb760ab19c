#include "LasReader.h"
#include "LasWriter.h"

ZEL_PLUGIN_LIBRARY(LasReader, LasWriter)
