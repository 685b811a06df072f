const root = document.getElementById("table");
let form = null;
let controls = [];
let elements = [];
let formPicture = null;

// The families of the window's fonts, each followed by faces of the same widths, and the
// line height of the window's text (the face's ascent and descent, no leading).
const faces = {
  "arial": ['Arial, "Liberation Sans", Arimo, Helvetica, sans-serif', "normal", "1.1172"],
  "arial narrow": ['"Arial Narrow", "Liberation Sans Narrow", Arial, "Liberation Sans", sans-serif', "condensed", "1.1172"],
  "ms sans serif": ['"MS Sans Serif", "Microsoft Sans Serif", Tahoma, Arial, "Liberation Sans", sans-serif', "normal", "normal"],
  "microsoft sans serif": ['"Microsoft Sans Serif", Tahoma, Arial, "Liberation Sans", sans-serif', "normal", "normal"],
  "times new roman": ['"Times New Roman", "Liberation Serif", Tinos, serif', "normal", "normal"],
  "courier new": ['"Courier New", "Liberation Mono", Cousine, monospace', "normal", "normal"],
};

function px(value) { return value * scale + "px"; }

// A colour as the window shows it: its see-through key lets what is behind show.
function tint(colour) {
  return !colour || (form.seeThrough && colour === form.seeThrough) ? "transparent" : colour;
}

function setFont(element, font) {
  const face = faces[font.name.toLowerCase()] ||
      ['"' + font.name.replace(/["\\]/g, "\\$&") + '", Arial, "Liberation Sans", sans-serif', "normal", "normal"];
  element.style.fontFamily = face[0];
  element.style.fontStretch = face[1];
  element.style.lineHeight = face[2];
  element.style.fontSize = px(font.pixels);
  element.style.fontWeight = font.bold ? "bold" : "normal";
  element.style.fontStyle = font.italic ? "italic" : "normal";
}

// The caption as text, never as markup. Labels and buttons draw "&x" as x underlined and
// "&&" as "&", as the window does.
function setCaption(element, text, prefixes) {
  if (element.dataset.caption === text) return;
  element.dataset.caption = text;
  element.textContent = "";
  if (!prefixes) {
    element.textContent = text;
    return;
  }
  const chars = Array.from(text);
  let plain = "";
  for (let i = 0; i < chars.length; i++) {
    if (chars[i] !== "&" || i + 1 === chars.length) {
      plain += chars[i];
      continue;
    }
    i++;
    if (chars[i] === "&") {
      plain += "&";
      continue;
    }
    element.append(plain);
    plain = "";
    const underlined = document.createElement("u");
    underlined.textContent = chars[i];
    element.append(underlined);
  }
  element.append(plain);
}

function pictureAddress(picture) {
  if (!picture || !picture.src) return "";
  return token ? picture.src + "?token=" + encodeURIComponent(token) : picture.src;
}

// Shows the new picture once it has loaded, so that the old one stays until then.
function setPicture(image, picture) {
  const address = pictureAddress(picture);
  if (image.dataset.want === address) return;
  image.dataset.want = address;
  if (!address) {
    image.removeAttribute("src");
    image.style.visibility = "hidden";
    return;
  }
  const next = new Image();
  next.onload = next.onerror = () => {
    if (image.dataset.want !== address) return;
    image.src = address;
    image.style.visibility = "";
  };
  next.src = address;
}

function make(control) {
  const element = document.createElement("div");
  element.className = control.kind;
  const native = control.kind === "textbox" || control.kind === "combobox" || control.kind === "button";
  if (native) element.classList.add("native");
  if (control.kind === "label" || native) {
    element.classList.add("text");
    element.append(document.createElement("span"));
  }
  if (control.kind === "frame") element.append(document.createElement("span"));
  if (control.kind === "combobox") {
    const drop = document.createElement("div");
    drop.className = "drop";
    drop.textContent = "\u25BC";
    element.append(drop);
  }
  if (control.kind === "image" || control.kind === "picturebox") element.append(document.createElement("img"));
  return element;
}

function paint(i) {
  const c = controls[i];
  const element = elements[i];
  element.style.display = c.shown ? "" : "none";
  if (!c.shown) return;
  element.style.left = px(c.x);
  element.style.top = px(c.y);
  element.style.width = px(c.width);
  element.style.height = px(c.height);
  const text = element.firstChild;
  switch (c.kind) {
    case "shape":
      element.style.background = tint(c.fill);
      return;
    case "image":
      setPicture(text, c.picture);
      return;
    case "picturebox":
      element.style.background = tint(c.back);
      // At its own size, cut off at the box's edges.
      if (c.picture) {
        text.style.width = px(c.picture.width);
        text.style.height = px(c.picture.height);
      }
      setPicture(text, c.picture);
      return;
    case "frame":
      element.style.background = tint(c.back);
      setFont(text, c.font);
      text.style.color = tint(c.fore);
      text.style.background = tint(c.back);
      text.style.position = "absolute";
      text.style.left = px(6);
      text.style.top = "0";
      setCaption(text, c.caption, false);
      return;
  }
  // Labels and the native text controls.
  element.style.background = c.kind === "label" && c.transparent ? "transparent" : tint(c.back);
  // An overlong word stands out on both sides of a centred line, as the window draws it.
  element.style.justifyContent = c.align === "center" ? "center" : c.align === "right" ? "flex-end" : "flex-start";
  text.style.textAlign = c.align;
  text.style.whiteSpace = c.wrap ? "pre-wrap" : "pre";
  // A one-line label's caption comes at the size that fits; one too long even at the
  // smallest size ends in "...", as the window draws it.
  const ellipsis = c.kind === "label" && !c.wrap;
  text.style.overflow = ellipsis ? "hidden" : "";
  text.style.textOverflow = ellipsis ? "ellipsis" : "";
  text.style.color = tint(c.fore);
  setFont(text, c.font);
  setCaption(text, c.caption, c.kind === "label" || c.kind === "button");
}

function paintForm() {
  root.style.width = px(form.width);
  root.style.height = px(form.height);
  root.style.background = tint(form.back);
  if (form.picture) {
    formPicture.style.width = px(form.picture.width);
    formPicture.style.height = px(form.picture.height);
  }
  setPicture(formPicture, form.picture);
}

function paintAll() {
  paintForm();
  for (let i = 0; i < controls.length; i++) paint(i);
}

function clear() {
  root.style.display = "none";
  root.textContent = "";
  form = null;
  controls = [];
  elements = [];
}

function build(message) {
  clear();
  form = message.form;
  formPicture = document.createElement("img");
  formPicture.style.left = formPicture.style.top = "0";
  root.append(formPicture);
  for (const control of message.controls) {
    controls[control.i] = control;
    elements[control.i] = make(control);
    root.append(elements[control.i]);
  }
  paintAll();
  root.style.display = "block";
}

// One message of the socket: the whole table, what changed since the last, or "closed".
function apply(message) {
  if (message.type === "table") return build(message);
  if (message.type !== "delta" || !form) return clear();
  for (const change of message.controls) Object.assign(controls[change.i], change);
  if (message.form) {
    Object.assign(form, message.form);
    return paintAll();
  }
  for (const change of message.controls) paint(change.i);
}

follow("/overlay/socket" + location.search, apply, clear);
