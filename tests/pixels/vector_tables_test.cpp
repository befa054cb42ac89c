// The colour matrices that the YUV row kernels load with aligned 32-byte
// vector moves must sit on 32-byte boundaries. Where a table lands is up to
// the compiler and linker, so a table that lacks the alignment can still
// land on one by chance; this looks at every table the converter hands out
// in every build, whatever the compiler.

#include "pixels/YuvConverter.h"
#include "pixels/YuvEncoding.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using pixels::YuvEncoding;

const char* Name(YuvEncoding::Matrix m)
{
    switch (m) {
    case YuvEncoding::Matrix::Bt601:
        return "BT.601";
    case YuvEncoding::Matrix::Bt709:
        return "BT.709";
    case YuvEncoding::Matrix::Bt2020:
        return "BT.2020";
    }
    return "?";
}

} // namespace

TEST(VectorTables, EveryYuvMatrixSitsOnA32ByteBoundary)
{
    for (const auto matrix : {YuvEncoding::Matrix::Bt601, YuvEncoding::Matrix::Bt709, YuvEncoding::Matrix::Bt2020})
        for (const bool fullRange : {false, true}) {
            const pixels::YuvConstants* table = pixels::MatrixFor(YuvEncoding{matrix, fullRange});
            ASSERT_NE(table, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(table) % 32, 0u)
                << Name(matrix) << (fullRange ? ", full range" : ", limited range") << " at " << table;
        }
}
