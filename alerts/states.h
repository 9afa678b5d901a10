// The alert states of one interface, stepped once after each of its polls: a
// pure rule, so its table of cases is the rule.
//
//   down    no counter reading in `down` polls in a row (no ping answer, or
//           neither counter query answered)
//   up      the first poll with a reading after "down"
//   above   % In or % Out at or above `above` in `aboveFor` polls in a row
//   normal  after "above": both directions below the normal level in
//           `aboveFor` polls in a row
//
// An event is raised once, at the change. The first poll, which only takes
// the baseline, raises nothing, though its silence counts towards "down". A
// direction without a figure counts for "down" and never for "above".
#pragma once

#include <cstdint>

#include "config/settings.h"

enum AlertKind { ALERT_DOWN, ALERT_UP, ALERT_ABOVE, ALERT_NORMAL };

// Directions, as bits: the ones an "above" is about.
#define ALERT_IN 1
#define ALERT_OUT 2

#define ALERT_CHANGES_MAX 2  // one poll: "up", then "above" or "normal"

// What one poll of the interface gave.
struct AlertPoll {
    int32_t freshIn, freshOut;  // a reading of that counter came
    int32_t hasIn, hasOut;      // that direction has a figure
    int32_t pctIn, pctOut;      // its figure, where it has one
};

struct AlertState {
    int32_t polls;            // polls seen, the baseline first
    int32_t down, above;      // 1 from the event until the one that ends it
    int32_t silent;           // polls in a row without a reading
    int32_t highIn, highOut;  // polls in a row at or above `above`
    int32_t calm;             // polls in a row with every figure below the normal level
};

struct AlertChange {
    AlertKind kind;
    int directions;  // for "above": ALERT_IN, ALERT_OUT or both
};

// The level that both directions must be below for "normal": `above` minus 5,
// the margin that keeps a link at the threshold from flapping. At `above` 5 or
// less that would be 0 or less, which no figure is below: there the level is
// 1, so "normal" takes both directions at 0 %.
int32_t NormalLevel(int32_t above);

// Steps *state by one poll under rule. Writes the changes it raises into
// changes (at most ALERT_CHANGES_MAX, "up" before "above" or "normal") and
// returns how many.
int StepAlert(const AlertRule &rule, const AlertPoll &poll, AlertState *state, AlertChange *changes);
