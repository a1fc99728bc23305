// The side of the transmission whose sensor a test looks at: the motor's or the load's. The opener
// (Motor Setup's button of that side) passes it.
#pragma once

namespace kestrel {

enum class SensorSide { motor, load };

}  // namespace kestrel
