#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Effect.h"
#include "LogCapture.h"
