"use strict";
// What the live page and the house page share: how an offset is coloured and
// when a master clock counts as silent, and where the tab keeps the token.

const kStaleAfterMs = 5000; // as the window's status line greys its offset
const kGreenWithinMs = 100;
const kAmberWithinMs = 500; // beyond it, the alert VaroClockOffsetHigh's threshold
const kTokenKey = "varo-clock-service-token";

const element = (id) => document.getElementById(id);

function offsetLevel(ms) {
    if (Math.abs(ms) <= kGreenWithinMs)
        return "green";
    return Math.abs(ms) <= kAmberWithinMs ? "amber" : "red";
}
