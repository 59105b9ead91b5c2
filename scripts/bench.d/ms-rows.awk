# row(measure, value, goal, met): one row in milliseconds of a section's JSON, for the
# sections that print their figures in ms; a goal, when given, with whether it is met.
function row(measure, value, goal, met) {
  printf "%s{\"measure\": \"%s\", \"velmor\": %s, \"unit\": \"ms\"%s}", sep, measure, value, \
    goal == "" ? "" : ", \"goal\": \"" goal "\", \"met\": " (met ? "true" : "false")
  sep = ", "
}
