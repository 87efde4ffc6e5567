// Shared by the question-bank pages. Inside the Examora client the page bridge functions
// (orvaDoLogin, openUrl, openHomePage, playAudio, isPlayAudio) exist; in any other browser they
// do not, and the pages fall back to plain links and an <audio> element.
"use strict";

const Bank = {
  load() {
    return fetch("/Simulation/assets/bank.json").then((reply) => {
      if (!reply.ok) throw new Error("题库加载失败 (" + reply.status + ")");
      return reply.json();
    });
  },
  param(name) {
    return new URLSearchParams(location.search).get(name) || "";
  },
  hasBridge(name) {
    return typeof window[name] === "function";
  },
  el(tag, attributes, ...children) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes || {})) {
      if (key.startsWith("on")) node.addEventListener(key.slice(2), value);
      else node.setAttribute(key, value);
    }
    for (const child of children) node.append(child);
    return node;
  },
  fail(where, error) {
    where.replaceChildren(Bank.el("p", { class: "muted" }, String(error.message || error)));
  },
  openUrl(address) {
    if (Bank.hasBridge("openUrl")) openUrl(address);
    else window.open(address, "_blank");
  },
  openHome() {
    if (Bank.hasBridge("openHomePage")) openHomePage();
    else location.href = "/Simulation/Subjects/31";
  },
};
