// Extrapolation: light directions beyond the unit circle, out to the light
// extent (1..3) that the Scale slider sets.
#pragma once

// Keeps the extent for later, brings the steered light back by the same
// factor (a light at the plot's edge stays at its edge) and limits the
// extent to the unit circle. The other lights keep their directions.
void stop_extrapolating();

// Restores the kept extent. The steered light keeps its direction until the
// pointer next moves it in the plot.
void resume_extrapolating();
