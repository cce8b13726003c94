// Scenes 3 and 4: the scene state their tests look at, valid after the build
// steps (scene 4's anchors after its first frame).
#pragma once

struct Mesh;
struct StarField;

const int SCENE3_BALLS = 8;
const int SWARM_ANCHORS = 32; // the last anchor is drawn but not used

// Scene 4's anchors: x and y -8..7, z 15..78, drawn anew on every first frame.
struct SwarmAnchors {
    float ox[SWARM_ANCHORS];
    float oy[SWARM_ANCHORS];
    float oz[SWARM_ANCHORS];
};

const StarField* scene3_stars();
const Mesh* scene3_ball(int i); // 0..7
const SwarmAnchors& scene4_anchors();
const Mesh* scene4_tube_a();
const Mesh* scene4_tube_b();
