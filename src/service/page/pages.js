"use strict";
// What the live page and the house page share: how an offset is coloured,
// when a master clock counts as silent, and the token: kept by the tab, asked
// for by the form #token-form.

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

// The token lives as long as the tab, never on disk.
let token = sessionStorage.getItem(kTokenKey);

function authorization() {
    return token === null ? {} : {Authorization: `Bearer ${token}`};
}

// `showForm(asking)` swaps the page's own view and the token form.
function askForToken(refused, showForm) {
    token = null;
    sessionStorage.removeItem(kTokenKey);
    element("token-refused").hidden = !refused;
    showForm(true);
    element("token").focus();
}

// `then` runs once a token is given.
function takeTokenFromForm(showForm, then) {
    element("token-form").addEventListener("submit", (event) => {
        event.preventDefault();
        token = element("token").value.trim();
        element("token").value = "";
        sessionStorage.setItem(kTokenKey, token);
        showForm(false);
        then();
    });
}
