// prepareImage under allocation failure: this binary replaces the array form of operator new
// so that a chosen allocation can be made to fail.

#include "engine/context/recognition_context.h"
#include "test_pictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

using namespace kavro;

namespace {
int allocationsBeforeFailure = -1; // negative: never fail
}

void* operator new[](std::size_t size) {
    if (allocationsBeforeFailure == 0) {
        allocationsBeforeFailure = -1;
        throw std::bad_alloc();
    }
    if (allocationsBeforeFailure > 0) {
        --allocationsBeforeFailure;
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

struct Snapshot {
    const void* sourceImage;
    const void* colourPlane;
    const void* edgePlane;
    const void* labelPlane;
    const void* rowTable;
    int planeHeight, imageWidth, imageHeight;
    std::vector<std::uint8_t> gray;

    explicit Snapshot(const RecognitionContext& c)
        : sourceImage(c.sourceImage.get()), colourPlane(c.colourPlane.get()),
          edgePlane(c.edgePlane.get()), labelPlane(c.labelPlane.get()), rowTable(c.rowTable.get()),
          planeHeight(c.planeHeight), imageWidth(c.imageWidth), imageHeight(c.imageHeight),
          gray(c.grayPlane.get(), c.grayPlane.get() + 512 * c.planeHeight) {}
    bool operator==(const Snapshot&) const = default;
};

TEST(PrepareImageAllocation, FailureAtAnyAllocationKeepsThePreviousPicture) {
    RecognitionContext context;
    const TestPicture first = rowNumberedPicture(640, 480);
    context.prepareImage(first.span(), 640, 480, false);
    const Snapshot before(context);
    const TestPicture second = uniformPicture(1024, 700, {9, 9, 9});

    int failing = 0;
    for (;; ++failing) {
        ASSERT_LT(failing, 64) << "prepareImage never completed";
        allocationsBeforeFailure = failing;
        try {
            context.prepareImage(second.span(), 1024, 700, false);
            break;
        } catch (const std::bad_alloc&) {
            EXPECT_TRUE(Snapshot(context) == before) << "failing allocation " << failing;
        }
    }
    allocationsBeforeFailure = -1;
    EXPECT_GE(failing, 12); // picture copy, nine planes, label plane and row table
    EXPECT_EQ(context.planeHeight, 320);
    EXPECT_EQ(context.grayPlane[0], 9);
}

} // namespace
