// Pieces of the object models that live in their own files.
#pragma once

#include <array>

#include "tools/contentgen/mesh.h"

namespace halvex::contentgen {

// Joint angles of one body key frame (radians; positive swings forward).
struct BodyPose {
  float leftThigh, leftKnee, rightThigh, rightKnee;
  float leftArm, leftElbow, rightArm, rightElbow;
  float lean, crouch;
};

// 0 neutral, 1 and 2 the running extremes (left / right leg forward, arms
// opposite), 3 and 4 passing poses between them, 5 the jump.
inline const std::array<BodyPose, 6>& BodyPoses() {
  static const std::array<BodyPose, 6> poses = {{
      {0.05f, 0.10f, -0.05f, 0.10f, 0.10f, 0.25f, 0.10f, 0.25f, 0.0f, 0.0f},
      {0.70f, 0.35f, -0.55f, 0.95f, -0.60f, 0.40f, 0.65f, 0.90f, 0.8f, 0.6f},
      {-0.55f, 0.95f, 0.70f, 0.35f, 0.65f, 0.90f, -0.60f, 0.40f, 0.8f, 0.6f},
      {0.30f, 0.90f, -0.10f, 0.30f, -0.25f, 0.50f, 0.30f, 0.70f, 0.6f, 0.3f},
      {-0.10f, 0.30f, 0.30f, 0.90f, 0.30f, 0.70f, -0.25f, 0.50f, 0.6f, 0.3f},
      {1.40f, 2.10f, 1.10f, 1.90f, 2.50f, 0.30f, 2.50f, 0.30f, 0.3f, 0.0f},
  }};
  return poses;
}

// The word "HALVEX" in thick bevelled bronze letters, facing the viewer.
Mesh Logo();

}  // namespace halvex::contentgen
