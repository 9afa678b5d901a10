#include "alerts/states.h"

int32_t NormalLevel(int32_t above) { return above - 5 > 1 ? above - 5 : 1; }

int StepAlert(const AlertRule &rule, const AlertPoll &poll, AlertState *state, AlertChange *changes)
{
    state->polls++;
    bool reading = poll.freshIn || poll.freshOut;
    state->silent = reading ? 0 : state->silent + 1;
    state->highIn = poll.hasIn && poll.pctIn >= rule.above ? state->highIn + 1 : 0;
    state->highOut = poll.hasOut && poll.pctOut >= rule.above ? state->highOut + 1 : 0;
    // A poll without any figure tells nothing of the traffic: it breaks the run.
    int32_t level = NormalLevel(rule.above);
    bool calm =
        (poll.hasIn || poll.hasOut) && !(poll.hasIn && poll.pctIn >= level) && !(poll.hasOut && poll.pctOut >= level);
    state->calm = calm ? state->calm + 1 : 0;
    if (state->polls == 1)
        return 0;

    int count = 0;
    if (!state->down && state->silent >= rule.down) {
        state->down = 1;
        changes[count++] = {ALERT_DOWN, 0};
    } else if (state->down && reading) {
        state->down = 0;
        changes[count++] = {ALERT_UP, 0};
    }
    int high = (state->highIn >= rule.aboveFor ? ALERT_IN : 0) | (state->highOut >= rule.aboveFor ? ALERT_OUT : 0);
    if (!state->above && high) {
        state->above = 1;
        changes[count++] = {ALERT_ABOVE, high};
    } else if (state->above && state->calm >= rule.aboveFor) {
        state->above = 0;
        changes[count++] = {ALERT_NORMAL, 0};
    }
    return count;
}
