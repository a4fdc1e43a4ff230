// The preferences editor page: the tree, search and filters, a row per preference drawn by its
// widget, checks as a person types, Apply, Reset and comments through the editor's server, and
// the changes made elsewhere meanwhile, as they happen.
"use strict";

const LEVEL_NAMES = ["defaults", "site", "group", "user"];
const state = {
  level: 3,
  data: null,         // the server's answer: levels, tree, prefs
  tab: null,          // the tab shown: {application, category, tab}
  pending: new Map(), // name → {value?, comment?, reset?}
  reasons: new Map(), // name → the library's reason for the pending value, or ""
  notices: new Map(), // name → {was, by}: a pending change whose preference changed elsewhere
  elsewhere: new Map(), // name → the time it last changed elsewhere, as shown
  page: pageId(),     // sent with Apply, so that the page knows its own edits among the events
};
const $ = (id) => document.getElementById(id);

function pageId() {
  if (crypto.randomUUID) return crypto.randomUUID();
  return [...crypto.getRandomValues(new Uint8Array(16))].map((b) => b.toString(16).padStart(2, "0")).join("");
}

function element(tag, props, ...children) {
  const made = document.createElement(tag);
  for (const [key, value] of Object.entries(props || {})) {
    if (value === undefined || value === null || value === false) continue;
    if (key === "class") made.className = value;
    else if (key === "text") made.textContent = value;
    else if (key.startsWith("on")) made.addEventListener(key.slice(2), value);
    else made.setAttribute(key, value === true ? "" : value);
  }
  for (const child of children) if (child) made.append(child);
  return made;
}

async function request(path, body) {
  const options = body === undefined ? {} : {
    method: "POST", headers: {"Content-Type": "application/json"}, body: JSON.stringify(body)};
  const response = await fetch(path, {credentials: "same-origin", ...options});
  const text = await response.text();
  let answer = null;
  try { answer = JSON.parse(text); } catch (error) { answer = null; }
  if (!response.ok && !answer) throw new Error(text.trim() || response.statusText);
  return answer;
}

// ---- what a preference shows ----------------------------------------------------------

function idOf(name, part) { return "p-" + name + "-" + part; }
function levelWords(level) { return LEVEL_NAMES[level] + " level"; }

// The value a row shows: the one typed, the one a reset falls back to, or the one in force.
function pendingValue(pref) {
  const pendingChange = state.pending.get(pref.name);
  if (pendingChange && pendingChange.reset) {
    for (let level = state.level - 1; level >= 0; level--) {
      if (pref.levels[level].value !== null) return pref.levels[level].value;
    }
    return pref.default;
  }
  return pendingChange && "value" in pendingChange ? pendingChange.value : pref.value;
}

function isLocked(pref) { return pref.lock_level !== null && pref.lock_level < state.level; }
function isModified(pref) { return pref.modified; }

function memberLabel(pref, value) {
  const member = pref.members.find((each) => each.value === value);
  return member ? member.label : value;
}

function shownValue(pref, value) {
  if (value === null || value === undefined) return "—";
  if (Array.isArray(value)) return value.length ? value.join(", ") : "(no items)";
  return memberLabel(pref, value);
}

// Colour numbers 1 to 216 as the cube of six steps of red, green and blue.
function colourOf(number) {
  const n = Number(number) - 1;
  if (!Number.isInteger(n) || n < 0 || n > 215) return null;
  const step = (k) => (k * 51).toString(16).padStart(2, "0");
  return "#" + step(Math.floor(n / 36)) + step(Math.floor(n / 6) % 6) + step(n % 6);
}

// ---- changes ------------------------------------------------------------------------------

let checkTimers = new Map();

function change(pref, part, value) {
  const entry = Object.assign({}, state.pending.get(pref.name));
  delete entry.reset;
  entry[part] = value;
  if (part === "value" && JSON.stringify(value) === JSON.stringify(pref.value) && !pref.modified) {
    delete entry.value;
  }
  if (part === "comment" && value === (pref.comment || "")) delete entry.comment;
  if (Object.keys(entry).length) state.pending.set(pref.name, entry);
  else forget(pref.name);
  if (part === "value") {
    scheduleCheck(pref, value);
    const comment = $(idOf(pref.name, "comment"));
    if (comment) comment.disabled = false;
  }
  showPending();
  markRow(pref);
}

function scheduleCheck(pref, value) {
  clearTimeout(checkTimers.get(pref.name));
  checkTimers.set(pref.name, setTimeout(async () => {
    try {
      const answer = await request("/api/check", {name: pref.name, level: state.level, value});
      state.reasons.set(pref.name, answer.code ? answer.reason : "");
    } catch (error) {
      state.reasons.set(pref.name, "not checked: " + error.message);
    }
    const reason = $(idOf(pref.name, "reason"));
    if (reason) reason.textContent = state.reasons.get(pref.name);
    const field = document.querySelector("[data-field='" + CSS.escape(pref.name) + "']");
    if (field) field.setAttribute("aria-invalid", state.reasons.get(pref.name) ? "true" : "false");
    showPending();
  }, 200));
}

// The pending change of a preference goes, and the notice about it.
function forget(name) {
  state.pending.delete(name);
  state.reasons.delete(name);
  state.notices.delete(name);
}

function forgetAll() {
  state.pending.clear();
  state.reasons.clear();
  state.notices.clear();
}

function resetPref(pref) {
  state.pending.set(pref.name, {reset: true});
  state.reasons.delete(pref.name);
  showPending();
  render();
  const button = $(idOf(pref.name, "reset"));
  if (button) button.focus();
}

function showPending() {
  const count = state.pending.size;
  const refused = [...state.pending.keys()].filter((name) => state.reasons.get(name)).length;
  const underneath = state.notices.size;
  $("pending").textContent = count === 0 ? "No changes." :
    count + (count === 1 ? " preference" : " preferences") + " changed, not applied yet" +
    (refused ? "; " + refused + " with a value the level cannot take" : "") +
    (underneath ? "; " + underneath + " changed meanwhile outside this page" : "") + ".";
  $("apply").disabled = count === 0;
  $("discard").disabled = count === 0;
}

function markRow(pref) {
  const row = $(idOf(pref.name, "row"));
  if (row) row.classList.toggle("changed", state.pending.has(pref.name));
}

async function apply() {
  const changes = [...state.pending].map(([name, entry]) => Object.assign({name}, entry));
  $("apply").disabled = true;
  $("outcome").replaceChildren();
  let answer;
  try {
    answer = await request("/api/apply", {level: state.level, page: state.page, changes});
  } catch (error) {
    showOutcome({saved: false, done: [], refused: [], error: error.message});
    showPending();
    return;
  }
  // What was refused stays to be corrected, with the reason; the rest is now what the file holds.
  const kept = new Map();
  state.reasons.clear();
  for (const refused of answer.refused) {
    if (state.pending.has(refused.name)) kept.set(refused.name, state.pending.get(refused.name));
    state.reasons.set(refused.name, refused.reason);
  }
  if (!answer.error) {
    state.pending = kept;
    for (const name of [...state.notices.keys()]) if (!kept.has(name)) state.notices.delete(name);
  }
  await load(state.level, true);
  showOutcome(answer);
}

function showOutcome(answer) {
  const box = $("outcome");
  box.replaceChildren();
  if (answer.error) box.append(element("p", {class: "refused", text: "Nothing was saved: " + answer.error}));
  if (answer.saved) {
    box.append(element("p", {class: "saved", text: "Saved in " + answer.file + ":"}));
    box.append(element("ul", {}, ...answer.done.map((done) =>
      element("li", {class: "saved", text: done.name + " " + done.what}))));
  }
  if (answer.refused.length) {
    box.append(element("p", {class: "refused", text: "Refused:"}));
    box.append(element("ul", {}, ...answer.refused.map((refused) =>
      element("li", {class: "refused", text: refused.name + ": " + refused.reason}))));
  }
  if (!answer.error && !answer.saved && !answer.refused.length) box.append(element("p", {text: "Nothing to save."}));
}

// ---- widgets ------------------------------------------------------------------------------

function describedBy(pref) {
  return ["state", "desc", "reason", "lock"].map((part) => idOf(pref.name, part)).join(" ");
}

function fieldProps(pref, disabled) {
  return {id: idOf(pref.name, "field"), "data-field": pref.name, "aria-describedby": describedBy(pref),
          disabled, "aria-invalid": state.reasons.get(pref.name) ? "true" : "false"};
}

function selectField(pref, value, disabled) {
  const select = element("select", Object.assign(fieldProps(pref, disabled), {
    onchange: (event) => change(pref, "value", event.target.value)}));
  for (const member of pref.members) {
    select.append(element("option", {value: member.value, selected: member.value === value, text: member.label}));
  }
  if (!pref.members.some((member) => member.value === value)) {
    select.append(element("option", {value, selected: true, text: value + " (not a member)"}));
  }
  return select;
}

function toggleField(pref, value, disabled) {
  const values = pref.members.length ? pref.members.map((member) => member.value) : ["true", "false"];
  const off = pref.toggle_off ?? (values.includes("false") ? "false" : values[values.length - 1]);
  const on = values.find((each) => each !== off) ?? "true";
  const checked = value === on;
  const button = element("button", Object.assign(fieldProps(pref, disabled), {
    type: "button", role: "switch", class: "switch", "aria-checked": String(checked),
    "aria-labelledby": idOf(pref.name, "title"),
    text: checked ? memberLabel(pref, on) : memberLabel(pref, off),
    onclick: () => {
      const next = button.getAttribute("aria-checked") === "true" ? off : on;
      button.setAttribute("aria-checked", String(next === on));
      button.textContent = memberLabel(pref, next);
      change(pref, "value", next);
    }}));
  return button;
}

function numberField(pref, value, disabled) {
  const integer = pref.type === "int";
  const props = Object.assign(fieldProps(pref, disabled), {
    type: "number", step: integer ? "1" : "any", inputmode: integer ? "numeric" : "decimal",
    value: value ?? ""});
  if (pref.lower && pref.lower.inclusive) props.min = pref.lower.value;
  if (pref.upper && pref.upper.inclusive) props.max = pref.upper.value;
  const input = element("input", props);
  const parts = [input];
  if (pref.lower && pref.upper) {
    const slider = element("input", {type: "range", min: pref.lower.value, max: pref.upper.value,
      step: integer ? "1" : "any", value: value ?? pref.lower.value, disabled, tabindex: "-1",
      "aria-hidden": "true", oninput: (event) => { input.value = event.target.value; change(pref, "value", event.target.value); }});
    input.addEventListener("input", () => { slider.value = input.value; });
    parts.push(slider);
  }
  input.addEventListener("input", () => change(pref, "value", input.value));
  if (pref.unit) parts.push(element("span", {class: "unit", text: pref.unit}));
  if (pref.range) parts.push(element("span", {class: "bounds", text: "allowed " + pref.range}));
  return parts;
}

function colourField(pref, value, disabled) {
  const choices = [];
  for (const member of pref.members) choices.push({value: member.value, label: member.label, member: true});
  if (pref.constraint === "color") {
    for (let number = 1; number <= 216; number++) {
      if (!choices.some((choice) => choice.value === String(number))) {
        choices.push({value: String(number), label: "colour " + number, member: false});
      }
    }
  }
  const group = element("div", {class: "swatches", role: "radiogroup", id: idOf(pref.name, "field"),
    "data-field": pref.name, "aria-labelledby": idOf(pref.name, "title"),
    "aria-describedby": describedBy(pref)});
  const buttons = choices.map((choice) => {
    const colour = choice.member ? null : colourOf(choice.value);
    const selected = choice.value === value;
    const swatch = element("button", {type: "button", role: "radio", class: "swatch" + (choice.member ? " member" : ""),
      "aria-checked": String(selected), "aria-label": choice.label + (colour ? " (" + colour + ")" : ""),
      title: choice.label, tabindex: selected ? "0" : "-1", disabled,
      text: choice.member ? choice.label : ""});
    if (colour) swatch.style.background = colour;
    swatch.addEventListener("click", () => pick(swatch, choice.value));
    return swatch;
  });
  if (!buttons.some((button) => button.getAttribute("tabindex") === "0") && buttons.length) {
    buttons[0].setAttribute("tabindex", "0");
  }
  function pick(swatch, chosen) {
    for (const button of buttons) {
      button.setAttribute("aria-checked", String(button === swatch));
      button.setAttribute("tabindex", button === swatch ? "0" : "-1");
    }
    swatch.focus();
    now.replaceChildren(...currentColour(pref, chosen));
    change(pref, "value", chosen);
  }
  group.addEventListener("keydown", (event) => {
    const at = buttons.indexOf(document.activeElement);
    if (at < 0) return;
    const columns = getComputedStyle(group).gridTemplateColumns.split(" ").length;
    const moves = {ArrowRight: 1, ArrowDown: columns, ArrowLeft: -1, ArrowUp: -columns, Home: -at, End: buttons.length - 1 - at};
    if (!(event.key in moves)) return;
    event.preventDefault();
    const next = Math.max(0, Math.min(buttons.length - 1, at + moves[event.key]));
    pick(buttons[next], choices[next].value);
  });
  group.append(...buttons);
  const now = element("span", {class: "color-now"}, ...currentColour(pref, value));
  return [group, now];
}

function currentColour(pref, value) {
  const colour = colourOf(value);
  const chip = element("span", {class: "chip", "aria-hidden": "true"});
  if (colour) chip.style.background = colour;
  return [colour ? chip : null, element("span", {text: "Now: " + shownValue(pref, value)})].filter(Boolean);
}

function listField(pref, value, disabled) {
  const items = Array.isArray(value) ? value.slice() : [];
  const list = element("ul", {class: "list-items", id: idOf(pref.name, "field"), "data-field": pref.name,
    "aria-labelledby": idOf(pref.name, "title"), "aria-describedby": describedBy(pref)});
  const focusAfter = {at: -1, part: ""};
  function draw() {
    list.replaceChildren(...items.map((item, at) => {
      const input = element("input", {type: "text", value: item, disabled,
        "aria-label": pref.title + ", item " + (at + 1) + " of " + items.length,
        oninput: (event) => { items[at] = event.target.value; change(pref, "value", items.slice()); }});
      const move = (by, part) => () => {
        const to = at + by;
        if (to < 0 || to >= items.length) return;
        [items[at], items[to]] = [items[to], items[at]];
        Object.assign(focusAfter, {at: to, part});
        change(pref, "value", items.slice());
        draw();
      };
      const li = element("li", {}, input,
        element("button", {type: "button", disabled: disabled || at === 0, "data-part": "up",
          "aria-label": "Move item " + (at + 1) + " up", text: "↑", onclick: move(-1, "up")}),
        element("button", {type: "button", disabled: disabled || at === items.length - 1, "data-part": "down",
          "aria-label": "Move item " + (at + 1) + " down", text: "↓", onclick: move(1, "down")}),
        element("button", {type: "button", disabled, "aria-label": "Remove item " + (at + 1), text: "Remove",
          onclick: () => { items.splice(at, 1); Object.assign(focusAfter, {at: Math.min(at, items.length - 1), part: "input"});
                           change(pref, "value", items.slice()); draw(); }}));
      return li;
    }));
    if (focusAfter.at >= 0 && list.children[focusAfter.at]) {
      const li = list.children[focusAfter.at];
      const target = li.querySelector("[data-part='" + focusAfter.part + "']:not(:disabled)") || li.querySelector("input");
      target.focus();
      focusAfter.at = -1;
    }
  }
  draw();
  const add = element("button", {type: "button", disabled, text: "Add item",
    onclick: () => { items.push(""); Object.assign(focusAfter, {at: items.length - 1, part: "input"});
                     change(pref, "value", items.slice()); draw(); }});
  return [list, add];
}

function textField(pref, value, disabled) {
  const input = element("input", Object.assign(fieldProps(pref, disabled), {type: "text", value: value ?? "",
    spellcheck: "false", oninput: (event) => change(pref, "value", event.target.value)}));
  input.style.width = "min(40em, 100%)";
  return input;
}

function widgetFor(pref, value, disabled) {
  const widget = pref.widget;
  if (pref.type === "string_list") return listField(pref, value, disabled);
  if (pref.constraint === "color") return colourField(pref, value, disabled);
  if (widget === "Toggle" || (pref.type === "logical" && pref.members.length <= 2)) {
    return toggleField(pref, value, disabled);
  }
  if (pref.members.length) return selectField(pref, value, disabled);
  if (pref.type === "int" || pref.type === "real") return numberField(pref, value, disabled);
  return textField(pref, value, disabled);
}

// ---- rows ---------------------------------------------------------------------------------

function prefRow(pref, showPlace) {
  const locked = isLocked(pref);
  const refusal = pref.refusal && !locked ? pref.refusal : null;
  const disabled = Boolean(pref.refusal) || !pref.enabled;
  const pendingChange = state.pending.get(pref.name) || {};
  const value = pendingValue(pref);
  const head = element("div", {class: "pref-head"},
    element("h3", {id: idOf(pref.name, "title")},
      element("label", {for: idOf(pref.name, "field"), text: pref.title || pref.name})),
    element("span", {class: "name", text: pref.name}),
    element("span", {id: idOf(pref.name, "state"), class: "pref-head"},
      isModified(pref) && !pendingChange.reset ? element("span", {class: "badge modified", text: "modified at this level"}) : null,
      locked ? element("span", {class: "badge lock", text: "locked at " + levelWords(pref.lock_level)}) : null,
      pref.restart ? element("span", {class: "badge restart", text: "applies after restart"}) : null,
      state.elsewhere.has(pref.name) ? element("span", {class: "badge elsewhere",
        text: "changed elsewhere at " + state.elsewhere.get(pref.name)}) : null));
  const row = element("section", {class: "pref" + (locked ? " locked" : "") + (state.pending.has(pref.name) ? " changed" : "") +
      (state.notices.has(pref.name) ? " underneath" : ""),
    id: idOf(pref.name, "row"), "aria-labelledby": idOf(pref.name, "title"),
    "data-modified": String(pref.modified), "data-locked": String(locked)}, head);
  if (showPlace) {
    row.append(element("div", {class: "where", text: [pref.application, pref.category, pref.tab, pref.group].filter(Boolean).join(" › ")}));
  }
  row.append(element("p", {class: "desc", id: idOf(pref.name, "desc"), text: pref.description || ""}));
  if (state.notices.has(pref.name)) row.append(noticeAbout(pref));
  const widget = widgetFor(pref, value, disabled);
  row.append(element("div", {class: "field"}, ...(Array.isArray(widget) ? widget : [widget])));
  row.append(element("p", {class: "reason", id: idOf(pref.name, "reason"), "aria-live": "polite",
    text: state.reasons.get(pref.name) || ""}));
  const lockText = locked
    ? "Locked at " + levelWords(pref.lock_level) + (pref.lock_comment ? ": “" + pref.lock_comment + "”" : " (the level locks it by default)")
    : refusal ? "This level cannot change it: " + refusal : "";
  row.append(element("p", {class: "lockinfo", id: idOf(pref.name, "lock"), text: lockText}));
  const source = pref.source;
  row.append(element("p", {class: "facts", text: "Default: " + shownValue(pref, pref.default) +
    " · In force here: " + shownValue(pref, pref.value) + (source > 0 ? " from the " + levelWords(source) : " (the default)") +
    (pref.levels.slice(1).some((level) => level.carried) ? " · a level's file carries an entry that start-up ignored" : "")}));
  if (!disabled) {
    const commentId = idOf(pref.name, "comment");
    const comment = element("input", {type: "text", id: commentId,
      value: "comment" in pendingChange ? pendingChange.comment : (pref.comment || ""),
      placeholder: pref.modified ? "why this value" : "set a value first",
      disabled: !pref.modified && !("value" in pendingChange),
      oninput: (event) => change(pref, "comment", event.target.value)});
    const actions = element("div", {class: "comment-row"},
      element("label", {for: commentId, text: "Comment"}), comment,
      pref.modified && !pendingChange.reset ? element("button", {type: "button", id: idOf(pref.name, "reset"),
        text: "Reset", "aria-label": "Reset " + (pref.title || pref.name) + " to the value inherited from below",
        onclick: () => resetPref(pref)}) : null,
      pendingChange.reset ? element("span", {id: idOf(pref.name, "reset"), tabindex: "-1", text: "Reset when applied"}) : null);
    row.append(actions);
  }
  return row;
}

// ---- the list of rows ---------------------------------------------------------------------

function searchWords() {
  return $("search").value.toLowerCase().split(/\s+/).filter(Boolean);
}

function matches(pref, words) {
  if (!words.length) return true;
  const text = [pref.name, pref.title, pref.description].join(" ").toLowerCase();
  return words.every((word) => text.includes(word));
}

function render() {
  const data = state.data;
  if (!data) return;
  const words = searchWords();
  const onlyModified = $("only-modified").checked;
  const onlyLocked = $("only-locked").checked;
  const filtering = words.length || onlyModified || onlyLocked;
  const rows = $("rows");
  const keepFocus = document.activeElement && document.activeElement.id;
  rows.replaceChildren();
  let shown = 0;
  let group = null;
  let place = {};
  for (const node of data.tree) {
    if (node.kind !== "pref") {
      place[node.kind] = node.name;
      if (node.kind === "group") place.groupDepth = node.depth;
      else place.group = null;
      if (node.kind === "application") place.category = place.tab = null;
      if (node.kind === "category") place.tab = null;
      continue;
    }
    const pref = data.prefs[node.name];
    if (!pref || !pref.visible) continue;
    // A preference after its tab's group has ended sits on the tab itself.
    const inGroup = place.group && node.depth > place.groupDepth;
    Object.assign(pref, {application: place.application, category: place.category, tab: place.tab,
                         group: inGroup ? place.group : null});
    if (filtering) {
      if (!matches(pref, words) || (onlyModified && !pref.modified) || (onlyLocked && !isLocked(pref))) continue;
    } else if (!state.tab || pref.application !== state.tab.application || pref.category !== state.tab.category ||
               pref.tab !== state.tab.tab) {
      continue;
    }
    if (!filtering && pref.group !== group) {
      group = pref.group;
      if (group) rows.append(element("h3", {class: "group-title", text: group}));
    }
    rows.append(prefRow(pref, filtering));
    shown++;
  }
  $("place").textContent = filtering ? "Found preferences" :
    state.tab ? [state.tab.application, state.tab.category, state.tab.tab].join(" › ") : "Preferences";
  $("count").textContent = shown + (shown === 1 ? " preference" : " preferences") +
    (filtering ? " match" + (shown === 1 ? "es" : "") : "") + " · editing the " + levelWords(state.level);
  if (!shown) rows.append(element("p", {class: "empty", text: "No preference matches."}));
  if (keepFocus && $(keepFocus) && document.activeElement !== $(keepFocus)) $(keepFocus).focus();
}

// ---- the tree -----------------------------------------------------------------------------

function buildTree() {
  const tree = $("tree");
  tree.replaceChildren();
  let application = null, applicationList = null, category = null, first = null;
  for (const node of state.data.tree) {
    if (node.kind === "application") {
      application = node.name;
      const listId = "tree-" + tree.children.length;
      applicationList = element("ul", {id: listId, hidden: true});
      const button = element("button", {type: "button", "aria-expanded": "false", "aria-controls": listId, text: node.name,
        onclick: () => {
          const open = button.getAttribute("aria-expanded") !== "true";
          button.setAttribute("aria-expanded", String(open));
          document.getElementById(listId).hidden = !open;
        }});
      tree.append(element("li", {class: "application"}, button, applicationList));
    } else if (node.kind === "category") {
      category = node.name;
      applicationList.append(element("li", {class: "category", text: node.name, "aria-hidden": "true"}));
    } else if (node.kind === "tab") {
      const tab = {application, category, tab: node.name};
      const label = category + ", " + node.name;
      const button = element("button", {type: "button", "data-tab": JSON.stringify(tab), "aria-label": label,
        text: node.name, onclick: () => showTab(tab, button)});
      applicationList.append(element("li", {}, button));
      if (!first) first = {tab, button};
    }
  }
  if (!state.tab && first) showTab(first.tab, first.button, true);
  else markCurrentTab();
}

function markCurrentTab() {
  for (const button of document.querySelectorAll("#tree button[data-tab]")) {
    const current = button.dataset.tab === JSON.stringify(state.tab);
    button.setAttribute("aria-current", String(current));
    if (current) {
      const list = button.closest("ul");
      list.hidden = false;
      list.previousElementSibling.setAttribute("aria-expanded", "true");
    }
  }
}

function showTab(tab, button, quietly) {
  state.tab = tab;
  $("search").value = "";
  $("only-modified").checked = false;
  $("only-locked").checked = false;
  markCurrentTab();
  render();
  $("tree-nav").classList.remove("open");
  $("tree-toggle").setAttribute("aria-expanded", "false");
  if (!quietly) $("prefs").focus();
}

// Up and down arrows move between the tree's buttons, Home and End to its ends.
function treeKeys(event) {
  const buttons = [...document.querySelectorAll("#tree button")].filter((button) => button.offsetParent !== null);
  const at = buttons.indexOf(document.activeElement);
  if (at < 0) return;
  const moves = {ArrowDown: at + 1, ArrowUp: at - 1, Home: 0, End: buttons.length - 1};
  if (event.key === "ArrowRight" || event.key === "ArrowLeft") {
    const button = buttons[at];
    if (button.hasAttribute("aria-expanded") && (button.getAttribute("aria-expanded") === "true") !== (event.key === "ArrowRight")) {
      button.click();
      event.preventDefault();
    }
    return;
  }
  if (!(event.key in moves)) return;
  event.preventDefault();
  buttons[Math.max(0, Math.min(buttons.length - 1, moves[event.key]))].focus();
}

// ---- changes made elsewhere -----------------------------------------------------------------

// What a row says when its preference changed outside this page while the person was changing
// it: what it is now; what they typed stays until they choose.
function noticeAbout(pref) {
  const notice = state.notices.get(pref.name);
  const now = shownValue(pref, pref.value) + (pref.source > 0 ? " from the " + levelWords(pref.source) : " (the default)") +
    (isLocked(pref) ? ", locked at " + levelWords(pref.lock_level) : "");
  const choose = (keepMine) => () => {
    if (keepMine) state.notices.delete(pref.name);
    else forget(pref.name);
    showPending();
    redrawRow(pref.name);
    const row = $(idOf(pref.name, "row"));
    const field = row && row.querySelector(".field :is(input, select, button):not(:disabled):not([tabindex='-1'])");
    if (field) field.focus();
  };
  return element("div", {class: "notice", id: idOf(pref.name, "notice"), tabindex: "-1"},
    element("p", {text: "Changed meanwhile " + notice.by + ": now " + now + " (it was " + notice.was + "). " +
      "What you entered here is kept until you choose."}),
    element("button", {type: "button", id: idOf(pref.name, "take-new"), text: "Use the new value",
      onclick: choose(false)}),
    element("button", {type: "button", id: idOf(pref.name, "keep-mine"), text: "Keep mine",
      onclick: choose(true)}));
}

const CONTROLS = "input, select, button";

// Where a control sits in a row, to find its like in the row drawn again: by its id, else by
// its place among the controls of its part of the row; with the text selected in it.
function placeOf(control) {
  const part = control.closest(".field, .comment-row, .notice") || control.closest(".pref");
  const selection = ["text", "search"].includes(control.type) ? [control.selectionStart, control.selectionEnd] : null;
  return {id: control.id, part: part.classList[0], at: [...part.querySelectorAll(CONTROLS)].indexOf(control), selection};
}

function focusPlace(row, place) {
  const part = row.classList.contains(place.part) ? row : row.querySelector("." + place.part);
  const control = (place.id && row.querySelector("#" + CSS.escape(place.id))) ||
    (part && part.querySelectorAll(CONTROLS)[place.at]);
  if (!control || control.disabled) return;
  control.focus();
  if (place.selection) control.setSelectionRange(...place.selection);
}

// Draws one row again where it is, keeping the focus (and the text selected) where it was, so
// that a person typing goes on typing.
function redrawRow(name) {
  const old = $(idOf(name, "row"));
  const pref = state.data.prefs[name];
  if (!old || !pref) return;
  const place = old.contains(document.activeElement) ? placeOf(document.activeElement) : null;
  const row = prefRow(pref, old.querySelector(".where") !== null);
  old.replaceWith(row);
  if (place) focusPlace(row, place);
}

function sameState(a, b) {
  const of = (pref) => JSON.stringify([pref.value, pref.source, pref.lock_level, pref.comment, pref.refusal, pref.levels]);
  return Boolean(a && b) && of(a) === of(b);
}

// Takes in new views of preferences that changed elsewhere: a pending change of one gets its
// notice, and every one shows when it changed.
function takeViews(prefs, by) {
  const time = new Date().toLocaleTimeString();
  const changed = [];
  for (const [name, fresh] of Object.entries(prefs)) {
    const old = state.data.prefs[name];
    if (sameState(old, fresh)) continue;
    if (old) for (const key of ["application", "category", "tab", "group"]) fresh[key] = old[key];
    if (state.pending.has(name) && !state.notices.has(name)) {
      state.notices.set(name, {was: old ? shownValue(old, old.value) : "—", by});
    }
    state.data.prefs[name] = fresh;
    state.elsewhere.set(name, time);
    changed.push(fresh);
  }
  return changed;
}

function tellNews(text) {
  $("live").textContent = text;
}

// One "changes" event: a batch of what changed, from another program or another page.
async function takeChanges(data) {
  let news;
  try { news = JSON.parse(data); } catch (error) { return; }
  if (news.by === state.page || !state.data) return;  // this page's own Apply, shown already
  const by = news.by ? "on another page of this editor" : "by another program";
  for (const change of news.changes) {
    if (change.what.includes("definitions")) tellNews("A definition file changed (" + change.new + "): restart the editor to see it.");
    else if (!change.name) tellNews("The " + levelWords(change.level) + "'s file is now: " + change.new + ".");
  }
  const names = [...new Set(news.changes.filter((change) => change.name).map((change) => change.name))];
  if (!news.all && !names.length) return;
  const level = state.level;
  let prefs;
  try {
    prefs = news.all ? (await request("/api/state?level=" + state.level)).prefs :
      (await request("/api/prefs?level=" + state.level + names.map((name) => "&name=" + encodeURIComponent(name)).join(""))).prefs;
  } catch (error) {
    tellNews("A change made elsewhere could not be shown (" + error.message + "): reload the page.");
    return;
  }
  if (level !== state.level) return;  // the page shows another level now, read afresh
  const changed = takeViews(prefs, by);
  if (!changed.length) return;
  if (changed.some((pref) => !pref.visible) || news.all) render();
  else for (const pref of changed) redrawRow(pref.name);
  showPending();
  const first = changed[0];
  const underneath = changed.filter((pref) => state.notices.has(pref.name)).length;
  tellNews((changed.length === 1
    ? (first.title || first.name) + " changed " + by + ": now " + shownValue(first, first.value) + "."
    : changed.length + " preferences changed " + by + ".") +
    (underneath ? " What you entered is kept until you choose: see the notice in its row." : ""));
}

// The page's stream of events: opened before the page reads anything, so that no change made
// after that read is missed; read everything again after the stream was interrupted.
function listen() {
  let loaded = null;
  let queue = Promise.resolve();
  // One event after the other, each once the page has its data; one that fails does not stop the next.
  const enqueue = (job) => {
    queue = queue.then(job).catch((error) => tellNews("A change made elsewhere could not be shown: " + error.message));
  };
  const loadOnce = () => loaded || (loaded = load(null, false));
  const source = new EventSource("/api/events");
  const live = $("live-state");
  source.addEventListener("ready", () => {
    live.dataset.state = "on";
    live.textContent = "Live";
    enqueue(() => loaded ? loaded.then(() => takeChanges(JSON.stringify({by: null, changes: [], all: true}))) : loadOnce());
  });
  source.addEventListener("changes", (event) => {
    enqueue(() => loadOnce().then(() => takeChanges(event.data)));
  });
  source.addEventListener("error", () => {
    const closed = source.readyState === EventSource.CLOSED;
    live.dataset.state = closed ? "off" : "reconnecting";
    live.textContent = closed ? "Not live" : "Reconnecting…";
    if (closed) tellNews("Changes made elsewhere are not shown: too many pages of this editor are open, or it stopped. Reload to try again.");
    loadOnce();
  });
}

// ---- loading ------------------------------------------------------------------------------

// Loads what the level shows; the level the editor was started on when level is null.
async function load(level, keepTab) {
  let data;
  try {
    data = await request("/api/state" + (level === null ? "" : "?level=" + level));
  } catch (error) {
    $("place").textContent = "The editor cannot be reached";
    $("count").textContent = error.message + " — start kvrn-prefs edit again and open the address it prints.";
    return;
  }
  if (data.error) { $("count").textContent = data.error; return; }
  level = data.level;
  state.level = level;
  state.data = data;
  if (!keepTab) state.tab = null;
  const select = $("level");
  const editable = data.levels.filter((each) => each.editable);
  select.replaceChildren(...editable.map((each) =>
    element("option", {value: String(each.level), selected: each.level === level, text: each.name})));
  const file = editable.find((each) => each.level === level);
  $("level-file").textContent = file && file.file ? "saved in " + file.file : "";
  buildTree();
  render();
  showPending();
}

function start() {
  $("search").addEventListener("input", render);
  $("only-modified").addEventListener("change", render);
  $("only-locked").addEventListener("change", render);
  $("apply").addEventListener("click", apply);
  $("discard").addEventListener("click", () => {
    forgetAll();
    $("outcome").replaceChildren();
    showPending();
    render();
  });
  $("level").addEventListener("change", (event) => {
    if (state.pending.size) {
      $("outcome").replaceChildren(element("p", {text: "Changes not applied at the " + levelWords(state.level) + " were discarded."}));
    }
    forgetAll();
    load(Number(event.target.value), true);
  });
  $("tree-toggle").addEventListener("click", () => {
    const open = !$("tree-nav").classList.contains("open");
    $("tree-nav").classList.toggle("open", open);
    $("tree-toggle").setAttribute("aria-expanded", String(open));
  });
  $("tree").addEventListener("keydown", treeKeys);
  listen();
}

start();
