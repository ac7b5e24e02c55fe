"use strict";
// The house page of varo-clock-service: every master clock of the building as
// the service's Prometheus last scraped it (house/clocks, asked every 2 s),
// one tile a clock, the worst first. What the service sends goes into the
// page as text, never as markup.

const kAskEveryMs = 2000;
// Worst first: a clock that tells nothing, then by its offset's colour.
const kLevelRank = {grey: 0, red: 1, amber: 2, green: 3};

function showState(text, level) {
    element("house-state").textContent = text;
    element("house-state").className = level;
}

// "+1.503 s", "-0.020 s": signed, to the millisecond.
function offsetText(seconds) {
    const ms = Math.round(Math.abs(seconds) * 1000);
    return (seconds < 0 && ms > 0 ? "-" : "+") + (ms / 1000).toFixed(3) + " s";
}

// Why the clock's offset is not to be trusted now; null when it is.
function silence(clock) {
    const age = clock.lastTimeFrameAgeSeconds;
    if (clock.up === false)
        return "Service down: Prometheus cannot reach it";
    if (age === null)
        return clock.offsetSeconds === null ? "No time frame yet" : "No time frame";
    if (age * 1000 > kStaleAfterMs)
        return `No time frame for ${Math.floor(age)} s`;
    return clock.offsetSeconds === null ? "No offset" : null;
}

// A part of a tile's line of states: its text and whether it is an alarm.
function part(text, level) {
    const span = document.createElement("span");
    span.textContent = text;
    span.className = level;
    return span;
}

function tile(clock) {
    const item = document.createElement("li");
    item.dataset.level = clock.level;
    item.appendChild(document.createElement("h2")).textContent = clock.clock;
    item.lastChild.title = clock.instance;
    item.appendChild(document.createElement("p")).textContent =
        clock.offsetSeconds === null ? "–" : offsetText(clock.offsetSeconds);
    item.lastChild.className = "offset";
    // A service that is down tells nothing of its port or computer.
    const states = item.appendChild(document.createElement("p"));
    states.className = "states";
    if (clock.up === false)
        states.hidden = true;
    if (clock.portOpen !== null)
        states.appendChild(part(clock.portOpen ? "Port open" : "Port closed", clock.portOpen ? "" : "alert"));
    states.appendChild(clock.computerClockSynchronized === null ? part("PC clock state unknown", "grey")
                       : clock.computerClockSynchronized ? part("PC clock synchronized", "")
                                                         : part("PC clock not synchronized", "alert"));
    item.appendChild(document.createElement("p")).textContent = clock.silence ?? "";
    item.lastChild.className = "silence";
    return item;
}

function showClocks(clocks) {
    for (const clock of clocks) {
        clock.silence = silence(clock);
        clock.level = clock.silence ? "grey" : offsetLevel(clock.offsetSeconds * 1000);
    }
    const size = (clock) => (clock.level === "grey" ? 0 : Math.abs(clock.offsetSeconds));
    clocks.sort((a, b) => kLevelRank[a.level] - kLevelRank[b.level] || size(b) - size(a) ||
                          a.clock.localeCompare(b.clock));
    element("tiles").replaceChildren(...clocks.map(tile));
    element("tiles").className = "";
    showState(clocks.length === 0 ? "Prometheus has no clock of the scrape job varo-clock"
                                  : `${clocks.length} clocks at ${new Date().toLocaleTimeString()}`,
              clocks.length === 0 ? "alert" : "");
}

// What the tiles show is old now: they turn grey under the reason.
function showFailure(text) {
    showState(text, "alert");
    element("tiles").className = "old";
}

function showTokenForm(asking) {
    element("token-form").hidden = !asking;
    element("house").hidden = asking;
}

async function ask() {
    try {
        const response = await fetch("house/clocks", {headers: authorization(), cache: "no-store"});
        const answer = await response.json().catch(() => ({}));
        if (response.status === 401)
            return askForToken(token !== null, showTokenForm);
        if (response.ok)
            showClocks(answer.clocks);
        else
            showFailure(answer.error ?? `${response.status} ${response.statusText}`);
    } catch (error) {
        showFailure(`The clock service did not answer: ${error.message}`);
    }
    setTimeout(ask, kAskEveryMs);
}

takeTokenFromForm(showTokenForm, ask);

ask();
