#pragma once
// The recognition driver: up to two plates from a prepared picture. With the
// corners of a plate-corner trailer the plate is cut out along them and read as
// a blue plate; otherwise the picture is searched for plates.

#include "engine/recognise/recognition_result.h"

struct RecognitionContext;

// Clears `result`, fills it and returns its count.
int recognisePlates(RecognitionContext& context, RecognitionResult& result);
