// Asserting that a directory call fails with a given ImError code.
#pragma once

#include <gtest/gtest.h>

#include "directory/ImError.h"

#define EXPECT_IM_ERROR(code, statement)                                       \
    do {                                                                       \
        try {                                                                  \
            statement;                                                         \
            ADD_FAILURE() << #statement " did not fail";                       \
        } catch (const ::warden::ImError& e) {                                 \
            EXPECT_EQ(e.Code(), (code)) << #statement ": " << e.Description(); \
        }                                                                      \
    } while (0)
