#include "ApplicationBase/IKernel.h"

#include "Logger/Log.h"

cpplog::MultiplexLogger& IKernel::getLogger()
{
    return Logger::rootLogger();
}

IKernel::~IKernel() = default;
