#include "RenderManager/IRenderPipelineColorMapping.h"

IRenderPipelineColorMapping::~IRenderPipelineColorMapping() = default;
