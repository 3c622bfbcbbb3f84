// What the dialogue_truth target got through, for the property test to see
// that its scenarios reach every step and not only the failures.
#pragma once

namespace fuzzsupport {

struct DialogueTally {
    int connected = 0;
    int applied = 0;
    int restored = 0;
};
extern DialogueTally g_dialogueTally;

}  // namespace fuzzsupport
