"use strict";
// The live page of varo-clock-service: the master clock's state as /live
// pushes it, and two commands. Whatever the service sends goes into the page
// as text (textContent), never as markup: the frame record holds bytes from
// outside.

const kShownCommands = 10;
const kRetryAfterMs = [1000, 2000, 5000];

let connected = false;
let failedAttempts = 0;
let offsetMs = null;
let frameSeenAt = null; // performance.now() when the last time frame arrived

function show(view) {
    element("token-form").hidden = view !== "token";
    element("connection").hidden = view === "token";
    element("live").hidden = view !== "live";
}

function showConnection(text, level) {
    element("connection").textContent = text;
    element("connection").className = level;
}

// "+1.5 s", "-0.3 s": tenths of a second, as the window's status line.
function secondsText(ms) {
    const tenths = Math.round(Math.abs(ms) / 100);
    return (ms < 0 && tenths > 0 ? "-" : "+") + (tenths / 10).toFixed(1) + " s";
}

// The master clock's colour: grey while its last time frame is old or
// unknown.
function showFreshness() {
    const ageMs = frameSeenAt === null ? null : performance.now() - frameSeenAt;
    const fresh = connected && ageMs !== null && ageMs <= kStaleAfterMs;
    element("master-clock").className = fresh ? offsetLevel(offsetMs) : "grey";
    if (ageMs === null)
        element("frame-age").textContent = "No time frame yet";
    else
        element("frame-age").textContent = fresh ? "" : `No time frame for ${Math.floor(ageMs / 1000)} s`;
}

function computerClockText(clock) {
    if (clock.state === "synchronized")
        return "PC clock synchronized" +
               (clock.maxErrorMs === null ? "" : `, max error ${Math.ceil(clock.maxErrorMs)} ms`);
    return clock.state === "unsynchronized" ? "PC clock not synchronized" : "PC clock state unknown";
}

function showStatus(status) {
    const clock = status.masterClock;
    if (clock) {
        element("clock-time").textContent = clock.time;
        element("offset-value").textContent = secondsText(clock.offsetMs);
        offsetMs = clock.offsetMs;
        frameSeenAt = performance.now() - clock.lastFrameAgeMs;
    }
    showFreshness();

    const computerClock = element("computer-clock");
    computerClock.textContent = computerClockText(status.computerClock);
    computerClock.className = {synchronized: "", unsynchronized: "alert"}[status.computerClock.state] ?? "grey";
    computerClock.title = status.computerClock.source;

    const port = status.port;
    element("port").textContent = `Port ${port.name}` + (port.device === port.name ? "" : ` (${port.device})`) +
                                  `, ${port.baud} baud` + (port.open ? "" : ", not open");
    element("port").className = port.open ? "" : "alert";
    element("line").textContent = status.lineHeld ? "A command holds the line" : "Line free";
}

// A command's outcome and the frame record's lines of its frames, newest
// first.
function showCommand(report) {
    const said = report.error ?? report.message;
    const item = document.createElement("li");
    item.className = report.outcome === "done" ? "" : "alert";
    item.appendChild(document.createElement("p")).textContent =
        `${report.command} ${report.outcome}` + (said ? `: ${said}` : "");
    item.appendChild(document.createElement("pre")).textContent = report.frames.join("\n");
    const list = element("command-list");
    list.prepend(item);
    while (list.children.length > kShownCommands)
        list.lastElementChild.remove();
}

function connect() {
    const url = new URL("live", location.href);
    url.protocol = location.protocol === "https:" ? "wss:" : "ws:";
    // A browser cannot set headers on a web socket.
    if (token !== null)
        url.searchParams.set("token", token);
    const socket = new WebSocket(url);
    socket.onmessage = (event) => {
        const message = JSON.parse(event.data);
        if (!connected) {
            connected = true;
            failedAttempts = 0;
            show("live");
            showConnection("Live", "green");
        }
        if (message.recentCommands) {
            element("command-list").replaceChildren();
            message.recentCommands.forEach(showCommand);
        }
        if (message.command)
            showCommand(message.command);
        showStatus(message);
    };
    socket.onclose = (event) => {
        connected = false;
        showFreshness();
        if (event.code === 1008) // the service wants a token, or another one
            return askForToken(token !== null, showTokenForm);
        const waitMs = kRetryAfterMs[Math.min(failedAttempts++, kRetryAfterMs.length - 1)];
        showConnection("Disconnected from the clock service; reconnecting…", "alert");
        setTimeout(connect, waitMs);
    };
}

function showTokenForm(asking) {
    show(asking ? "token" : "connecting");
}

takeTokenFromForm(showTokenForm, connect);

// Posts a command; says what was sent and what came of it, or the service's
// error.
async function post(path, body, result, confirmation) {
    const button = result.form.querySelector("button");
    button.disabled = true;
    result.className = "";
    result.textContent = "Sending…";
    const headers = {"Content-Type": "application/json", ...authorization()};
    try {
        const response = await fetch(path, {method: "POST", headers, body: JSON.stringify(body), cache: "no-store"});
        const answer = await response.json().catch(() => ({}));
        result.className = response.ok ? "green" : "alert";
        result.textContent = response.ok ? confirmation(answer)
                                         : answer.error ?? `${response.status} ${response.statusText}`;
    } catch (error) {
        result.className = "alert";
        result.textContent = `The clock service did not answer: ${error.message}`;
    } finally {
        button.disabled = false;
    }
}

element("set-time-form").addEventListener("submit", (event) => {
    event.preventDefault();
    post("set-time", {}, element("set-time-result"), (answer) => {
        const shown = answer.masterClock;
        return `北京时间校时 sent ${answer.frameText}` +
               (shown ? `; the master clock shows ${shown.time}, offset ${secondsText(shown.offsetMs)}` : "");
    });
});

element("countdown-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const clock = element("countdown-clock");
    const time = element("countdown-time").value.trim();
    post("countdown", {clock: Number(clock.value), time}, element("countdown-result"),
         (answer) => `临时倒计时 sent: ${clock.selectedOptions[0].text} to ${time}, ${answer.remaining} to go`);
});

setInterval(showFreshness, 500);
connect();
