// The search form, the result pages and the entry pages as a visitor sees them: headless
// Chromium against the site that scripts/serve runs (started by
// run-browser-test, which passes the address in the environment).
//
// Environment: BASE_URL (http://127.0.0.1:PORT/), SCREENSHOT_DIR,
// PROFILE_DIR (where the browser profiles are made; run-browser-test
// removes it), and PROGRAM (the classic result page), NEIGHBOURS (the
// site's page of a search) and ODBC_DIR, with which a reply is also made by
// running a program directly, to compare with the served page byte for
// byte.
import { chromium } from "playwright-core";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";

const baseUrl = process.env.BASE_URL;
const screenshotDir = process.env.SCREENSHOT_DIR;
const program = process.env.PROGRAM;
const neighboursProgram = process.env.NEIGHBOURS;
const odbcDir = process.env.ODBC_DIR;
const profileDir = process.env.PROFILE_DIR || os.tmpdir();
if (!baseUrl || !screenshotDir || !program || !neighboursProgram || !odbcDir) {
  console.error("browser_test: BASE_URL, SCREENSHOT_DIR, PROGRAM, NEIGHBOURS and ODBC_DIR must be set");
  process.exit(2);
}

// The sample database's stars within 20 light-years of the Sun, as listed.
const sunWithin20 = [
  "Proxima: 4.24377 light-years, class M5.5 Ve",
  "Toliman: 4.39478 light-years, class K1 V",
  "Rigil Kentaurus: 4.39478 light-years, class G2 V",
  "Barnard's Star: 5.95792 light-years, class M4 V",
  "Lalande 21185: 8.3063 light-years, class M2+ V",
  "Sirius: 8.60069 light-years, class A1 V+DA",
  "HIP 92403: 9.7031 light-years, class M3.5 Ve",
  "Ran: 10.4898 light-years, class K2 V",
  "HD 217987: 10.7201 light-years, class M2 V",
  "HIP 57548: 11.0069 light-years, class M4 V",
  "Bessel's Star: 11.3973 light-years, class K7 V",
  "61 Cyg A: 11.4053 light-years, class K5 V",
  "Procyon: 11.4609 light-years, class F5 IV-V+DQZ",
  "HD 173740: 11.4645 light-years, class M3.5 V",
  "HD 1326: 11.6198 light-years, class M2 V",
  "HD 173739: 11.6365 light-years, class M3 V",
  "\u03b5 Ind: 11.8676 light-years, class K5 V",
  "Al Naymat II: 11.9057 light-years, class G8 V",
  "HIP 5643: 12.1095 light-years, class M4.0 Ve",
  "Luyten's Star: 12.4009 light-years, class M3.5 V",
  "Kapteyn's Star: 12.829 light-years, class M1 VIp",
  "HD 202560: 12.9493 light-years, class M1 V",
  "Kruger 60 A: 13.0703 light-years, class M3",
  "Kruger 60 B: 13.0703 light-years",
  "HIP 30920: 13.4235 light-years, class M4.5 V",
  "Altair: 16.7286 light-years, class A7 V",
];
const sunWithin15 = sunWithin20.slice(0, -1);
const windowHeading =
  ", with Right Ascensions between 5h0m0s and 6h0m0s, and Declinations between -10\u00b00'0\" and +10\u00b00'0\":";
const windowLimits =
  "With right ascensions between 5h0m0s and 6h0m0s, and declinations between -10\u00b00'0\" and +10\u00b00'0\".";

// The inputs each form must have, named as the program reads them.
const windowNames = [
  "minRAHour", "minRAMin", "minRASec", "maxRAHour", "maxRAMin", "maxRASec",
  "minDecDeg", "minDecMin", "minDecSec", "maxDecDeg", "maxDecMin", "maxDecSec",
];
const formInputs = {
  "#star-form": ["star", "minLY", "ly", ...windowNames],
  "#point-form": ["X", "Y", "Z", "minLY", "ly", ...windowNames],
};

let failures = 0;
function check(condition, what, detail) {
  if (condition) {
    console.log(`ok   ${what}`);
  } else {
    failures++;
    console.log(`FAIL ${what}${detail === undefined ? "" : "\n     " + detail}`);
  }
}
function checkEqual(actual, expected, what) {
  const a = JSON.stringify(actual, null, 1);
  const e = JSON.stringify(expected, null, 1);
  check(a === e, what, `expected ${e}\n     got      ${a}`);
}

// The heading and the listed lines of a result page, as displayed.
async function readResults(page) {
  const heading = (await page.locator("h3").innerText()).trim();
  const text = await page.locator("body").innerText();
  const lines = text.split("\n").map((l) => l.trim()).filter((l) => l !== "");
  return { heading, stars: lines.slice(lines.indexOf(heading) + 1) };
}

// The heading of the site's page of a search, the limits of its window
// (or ""), and its stars as the classic page lists them, in the order
// shown.
async function readNeighbours(page) {
  const heading = (await page.locator("main h1").innerText()).trim();
  const limits = await page.locator("main h1 + p").count() === 0
    ? "" : (await page.locator("main h1 + p").innerText()).trim();
  const stars = await page.locator("#stars tbody tr").evaluateAll((rows) => rows.map((row) => {
    const cells = Array.from(row.cells).map((c) => c.textContent.trim());
    return `${cells[1]}: ${cells[2]} light-years` + (cells[3] ? `, class ${cells[3]}` : "");
  }));
  return { heading, limits, stars };
}

// The ranks of the rows of the site's page of a search, in the order shown.
async function shownRanks(page) {
  return page.locator("#stars tbody tr").evaluateAll((rows) => rows.map((r) => Number(r.dataset.rank)));
}

// The reply of a program (the classic page by default) run directly,
// without its header.
function directReply(query, binary = program) {
  const reply = execFileSync(binary, {
    env: { QUERY_STRING: query, ODBCSYSINI: odbcDir, ODBCINI: path.join(odbcDir, "odbc.ini") },
  });
  const end = reply.indexOf("\n\n");
  if (reply.subarray(0, 23).toString() !== "Content-type: text/html" || end < 0) {
    throw new Error(`unexpected reply to ${query}`);
  }
  return reply.subarray(end + 2);
}

async function submit(page, form) {
  const [response] = await Promise.all([
    page.waitForNavigation(),
    page.locator(`${form} button[type=submit]`).click(),
  ]);
  return response;
}

// The path and query of a URL.
function address(url) {
  const u = new URL(url);
  return u.pathname + u.search;
}

// The request that began a navigation, before any redirect.
function firstRequest(response) {
  let request = response.request();
  while (request.redirectedFrom()) request = request.redirectedFrom();
  return request;
}

// Types "name" in the find form of the page and submits it; returns the
// response of the page reached.
async function findByName(page, name) {
  await page.fill("#find-name", name);
  const [response] = await Promise.all([
    page.waitForNavigation(),
    page.locator("form[role=search] button[type=submit]").click(),
  ]);
  return response;
}

// Follows a link and returns the response of the page reached.
async function follow(page, link) {
  const [response] = await Promise.all([page.waitForNavigation(), link.click()]);
  return response;
}

async function shot(page, name) {
  await page.screenshot({ path: path.join(screenshotDir, name), fullPage: true });
}

const userDataDirs = [];
async function launch(javaScriptEnabled) {
  const userDataDir = fs.mkdtempSync(path.join(profileDir, "chromium-"));
  userDataDirs.push(userDataDir);
  const context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    javaScriptEnabled,
    viewport: { width: 1000, height: 800 },
    args: [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
    ],
  });
  context.setDefaultTimeout(10000);
  return context;
}

async function withScripts(context) {
  const page = context.pages()[0] || (await context.newPage());

  // The form: every input is labelled and named as the program expects.
  await page.goto(baseUrl);
  checkEqual(await page.title(), "Veloran neighbour search", "form: title");
  for (const [form, names] of Object.entries(formInputs)) {
    const inputs = await page.locator(`${form} input`).evaluateAll((els) =>
      els.map((e) => ({ name: e.name, labelled: e.labels.length === 1 && e.labels[0].textContent.trim() !== "" })));
    checkEqual(inputs.map((i) => i.name), names, `form ${form}: input names`);
    check(inputs.every((i) => i.labelled), `form ${form}: every input has its label`);
    check(await page.locator(`${form} input[name=minRAHour]`).isEnabled(), `form ${form}: sky window enabled by the script`);
  }
  const finder = await page.locator("#find-form input").evaluateAll((els) =>
    els.map((e) => ({ name: e.name, type: e.type, labelled: e.labels.length === 1 && e.labels[0].textContent.trim() !== "" })));
  checkEqual(finder, [{ name: "name", type: "text", labelled: true }], "find form: one labelled text field, name");
  checkEqual(await page.locator("form").first().getAttribute("id"), "find-form", "find form: the first form");
  await shot(page, "form.png");

  // The finder is asked by a plain GET of the name.
  let response = await findByName(page, "alpha CMa");
  checkEqual(address(firstRequest(response).url()), "/cgi-bin/find_star?name=alpha+CMa", "find form: address");
  await findStars(page);
  await page.goto(baseUrl);

  // Around the Sun: the empty fields are not sent, the served page is the
  // program's reply, and it lists the classic page's stars.
  await page.fill("#star-ID", "100");
  await page.fill("#star-ly", "20");
  response = await submit(page, "#star-form");
  checkEqual(address(page.url()), "/cgi-bin/neighbours?star=100&ly=20", "star search: only the filled fields are sent");
  checkEqual(response.status(), 200, "star search: status");
  check(/^text\/html/.test(response.headers()["content-type"] || ""), "star search: content type",
        response.headers()["content-type"]);
  check((await response.body()).equals(directReply("star=100&ly=20", neighboursProgram)),
        "star search: the served page is the program's reply, byte for byte");
  let results = await readNeighbours(page);
  checkEqual(results.heading, "Stars within 20 light-years of Sol", "star search: heading");
  checkEqual(results.stars, sunWithin20, "star search: listed stars");
  await shot(page, "star-results.png");
  // The classic page of the same search, one link away.
  response = await follow(page, page.getByRole("link", { name: "The same search on the classic page" }));
  checkEqual(address(page.url()), "/cgi-bin/neighbor_search?ID=100&ly=20", "star search: the classic page's link");
  check((await response.body()).equals(directReply("ID=100&ly=20")),
        "star search: the classic page, the program's reply byte for byte");
  checkEqual((await readResults(page)).stars, sunWithin20, "star search: the classic page lists the same stars");

  // Around a star by its name: the page finds it as the finder does.
  await page.goto(baseUrl);
  await page.fill("#star-ID", "Alpha Canis Majoris");
  await page.fill("#star-minLY", "5");
  await page.fill("#star-ly", "20");
  response = await submit(page, "#star-form");
  checkEqual([address(firstRequest(response).url()), response.status()],
             ["/cgi-bin/neighbours?star=Alpha+Canis+Majoris&minLY=5&ly=20", 200],
             "star search by name: the search around it, at once");
  check((await response.body()).equals(directReply("star=Alpha+Canis+Majoris&minLY=5&ly=20", neighboursProgram)),
        "star search by name: the served page is the program's reply, byte for byte");
  checkEqual((await readNeighbours(page)).heading, "Stars between 5 and 20 light-years from Sirius (α Canis Majoris)",
             "star search by name: heading");
  // A name of several stars: the finder's list, each with its search link.
  await page.goto(baseUrl);
  await page.fill("#star-ID", "alpha Cen");
  await page.fill("#star-ly", "10");
  response = await submit(page, "#star-form");
  checkEqual([address(firstRequest(response).url()), address(page.url()), response.status()],
             ["/cgi-bin/neighbours?star=alpha+Cen&ly=10", "/cgi-bin/find_star?ly=10&star=alpha+Cen", 200],
             "star search by a name of several stars: to the finder's list");
  checkEqual((await firstRequest(response).response()).status(), 302, "star search by a name of several stars: redirected");
  response = await follow(page, page.getByRole("link", { name: "the stars around it" }).first());
  checkEqual(address(page.url()), "/cgi-bin/neighbours?ID=716810200&ly=10",
             "star search by a name of several stars: a listed star's search");
  check((await response.body()).equals(directReply("ID=716810200&ly=10", neighboursProgram)),
        "star search by a name of several stars: the program's reply, byte for byte");
  await page.goto(baseUrl);
  await page.fill("#star-ID", "100");
  await page.fill("#star-ly", "20");
  await submit(page, "#star-form");

  // A listed star's link leads to its entry page, which leads on to the
  // stars around it, and back.
  await Promise.all([page.waitForNavigation(), page.getByRole("link", { name: "Barnard's Star", exact: true }).click()]);
  checkEqual(new URL(page.url()).pathname + new URL(page.url()).search,
             "/cgi-bin/entry_page.exe?ID=879370000", "entry link: address");
  checkEqual((await page.locator("h1").innerText()).trim(), "Barnard's Star", "entry page: heading");
  await shot(page, "entry.png");
  // The site's own page of the search (its program is checked on its own).
  checkEqual(await page.getByRole("link", { name: "The stars within 20 light-years of Barnard's Star" })
               .getAttribute("href"),
             "neighbours?ID=879370000&ly=20", "entry page: within 20 light-years, address");
  // A dot of its map leads to that star's entry page, and back.
  await follow(page, page.locator("svg.neighbour-map a[href='entry_page.exe?ID=100'] circle"));
  checkEqual([address(page.url()), (await page.locator("h1").innerText()).trim()],
             ["/cgi-bin/entry_page.exe?ID=100", "Sol"], "entry page: a dot of the map leads to its star");
  await page.goBack();
  checkEqual((await page.locator("h1").innerText()).trim(), "Barnard's Star", "entry page: back from a star of its map");
  await Promise.all([page.waitForNavigation(), page.getByRole("link", { name: "Back to the neighbour search" }).click()]);
  checkEqual(new URL(page.url()).pathname, "/", "entry page: link back to the form");

  // Around a point with a sky window; the empty coordinates mean the origin.
  await page.fill("#point-ly", "1000");
  await page.fill("#point-minRAHour", "5");
  await page.fill("#point-maxRAHour", "6");
  await page.fill("#point-minDecDeg", "-10");
  await page.fill("#point-maxDecDeg", "10");
  await submit(page, "#point-form");
  checkEqual(address(page.url()), "/cgi-bin/neighbours?ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10",
             "point search: only the filled fields are sent");
  results = await readNeighbours(page);
  checkEqual([results.heading, results.limits], ["Stars within 1000 light-years of (0, 0, 0)", windowLimits],
             "point search: heading");
  checkEqual(results.stars, ["Betelgeuse: 497.887 light-years, class M1-M2 Ia-ab",
                             "Rigel: 863.021 light-years, class B8 Ia"], "point search: listed stars");
  await shot(page, "point-results.png");

  // Back in the history, the fields left out of that search can be used again.
  await page.goBack();
  check(await page.locator("#point-minLY").isEnabled(), "back on the form: dropped fields usable again");

  // Nothing but an ID: the default distance of 15 light-years.
  await page.goto(baseUrl);
  await page.fill("#star-ID", "100");
  await submit(page, "#star-form");
  checkEqual(new URL(page.url()).search, "?star=100", "ID alone: only the ID is sent");
  results = await readNeighbours(page);
  checkEqual(results.heading, "Stars within 15 light-years of Sol", "ID alone: heading");
  checkEqual(results.stars, sunWithin15, "ID alone: listed stars");

  // One coordinate of a point: the others are sent as 0, or Y and Z would
  // not be read at all.
  await page.goto(baseUrl);
  await page.fill("#point-Y", "10");
  await page.fill("#point-ly", "20");
  await submit(page, "#point-form");
  checkEqual(new URL(page.url()).search, "?X=0&Y=10&Z=0&ly=20", "Y alone: X and Z sent as 0");
  checkEqual((await readNeighbours(page)).heading, "Stars within 20 light-years of (0, 10, 0)", "Y alone: heading");

  // Served entry pages: the status of each kind of answer, and nothing of
  // the request echoed but a star ID.
  const entryCases = [
    { query: "ID=100", status: 200, heading: "Sol" },
    { query: "ID=323490000", status: 200, heading: "Sirius (&alpha; Canis Majoris)" },
    { query: "foo=1&ID=323490000&ID=100", status: 200, heading: "Sirius (&alpha; Canis Majoris)" },
    { query: "ID=999900", status: 404, heading: "No star 999900" },
    { query: "ID=0", status: 400, heading: "No star ID in this address" },
    { query: "ID=0100", status: 400, heading: "No star ID in this address" },
    { query: "ID=150", status: 400, heading: "No star ID in this address" },
    { query: "", status: 400, heading: "No star ID in this address" },
    { query: "ID=12a", status: 400, heading: "No star ID in this address" },
    { query: "ID=1234567890123", status: 400, heading: "No star ID in this address" },
    { query: "ID=%3Cscript%3Ealert(1)%3C/script%3E", status: 400, heading: "No star ID in this address" },
    { query: "ID=100%26x=%3Cb%3E", status: 400, heading: "No star ID in this address" },
  ];
  for (const c of entryCases) {
    const reply = await page.request.get(`${baseUrl}cgi-bin/entry_page.exe?${c.query}`);
    const body = await reply.text();
    const h1 = (body.match(/<h1>(.*)<\/h1>/) || [])[1];
    checkEqual([reply.status(), h1], [c.status, c.heading], `entry page '${c.query}'`);
    check(!/<script>|alert|<b>|12a|1234567890123|foo=/.test(body), `entry page '${c.query}': no request text echoed`);
  }

  await placeholders(page);
  await minimumAboveMaximum(page);
  await neighboursPages(page);
  await sortInPlace(page);
}

// Typing the hours (or degrees) of a bound shows 0 in the placeholders of
// its minutes and seconds, and typing the minutes shows 0 in its seconds:
// what the search will use for them.
async function placeholders(page) {
  await page.goto(baseUrl);
  const shown = (ids) => Promise.all(ids.map((id) => page.locator(id).getAttribute("placeholder")));
  const cases = [
    { fill: "#star-maxRAHour", value: "6", of: ["#star-maxRAMin", "#star-maxRASec"], before: ["59", "59.999"], after: ["0", "0"] },
    { fill: "#star-minDecDeg", value: "-10", of: ["#star-minDecMin", "#star-minDecSec"], before: ["59", "59.999"], after: ["0", "0"] },
    { fill: "#point-maxDecMin", value: "30", of: ["#point-maxDecMin", "#point-maxDecSec"], before: ["59", "59.999"], after: ["59", "0"] },
    { fill: "#point-minRAHour", value: "0", of: ["#point-minRAMin", "#point-minRASec"], before: ["0", "0"], after: ["0", "0"] },
  ];
  for (const c of cases) {
    checkEqual(await shown(c.of), c.before, `placeholders of ${c.of.join(", ")} at first`);
    await page.fill(c.fill, c.value);
    checkEqual(await shown(c.of), c.after, `placeholders of ${c.of.join(", ")} with ${c.fill} = ${c.value}`);
    // The other bounds keep theirs.
    checkEqual(await shown(["#star-minRAMin", "#point-maxRASec"]), ["0", "59.999"],
               `placeholders of other bounds with ${c.fill} = ${c.value}`);
    await page.fill(c.fill, "");
    checkEqual(await shown(c.of), c.before, `placeholders of ${c.of.join(", ")} with ${c.fill} empty again`);
  }
}

// A minimum above its maximum is told before anything is sent.
async function minimumAboveMaximum(page) {
  const cases = [
    { form: "#star-form", fields: { "#star-ID": "100", "#star-minLY": "30", "#star-ly": "20" },
      message: "The smallest distance (30 light-years) is greater than the largest (20 light-years)." },
    { form: "#star-form", fields: { "#star-ID": "100", "#star-minLY": "16" },
      message: "The smallest distance (16 light-years) is greater than the largest (15 light-years)." },
    { form: "#point-form", fields: { "#point-minRAHour": "7", "#point-maxRAHour": "6", "#point-ly": "1000" },
      message: "The lowest right ascension (7h 0m 0s) is greater than the highest (6h 0m 0s)." },
    { form: "#point-form", fields: { "#point-minRAHour": "6", "#point-minRAMin": "10", "#point-maxRAHour": "6", "#point-maxRAMin": "9", "#point-maxRASec": "59.5", "#point-ly": "1000" },
      message: "The lowest right ascension (6h 10m 0s) is greater than the highest (6h 9m 59.5s)." },
    { form: "#star-form", fields: { "#star-ID": "100", "#star-minDecDeg": "10", "#star-maxDecDeg": "-10" },
      message: "The lowest declination (+10\u00b0 0\u2032 0\u2033) is greater than the highest (\u221210\u00b0 0\u2032 0\u2033)." },
    { form: "#star-form", fields: { "#star-ID": "100", "#star-minDecDeg": "0", "#star-minDecMin": "30", "#star-maxDecDeg": "0", "#star-maxDecMin": "20" },
      message: "The lowest declination (+0\u00b0 30\u2032 0\u2033) is greater than the highest (+0\u00b0 20\u2032 0\u2033)." },
    { form: "#star-form", fields: { "#star-ID": "100", "#star-minDecDeg": "-5", "#star-maxDecDeg": "-5", "#star-maxDecMin": "30" },
      message: "The lowest declination (\u22125\u00b0 0\u2032 0\u2033) is greater than the highest (\u22125\u00b0 30\u2032 0\u2033)." },
  ];
  const sent = [];
  page.on("request", (r) => { if (r.url().includes("/cgi-bin/")) sent.push(r.url()); });
  for (const c of cases) {
    await page.goto(baseUrl);
    sent.length = 0;
    for (const [id, value] of Object.entries(c.fields)) await page.fill(id, value);
    await page.locator(`${c.form} button[type=submit]`).click();
    const alert = page.locator(`${c.form} [role=alert]`);
    checkEqual((await alert.innerText()).trim(), c.message, `${c.form} ${JSON.stringify(c.fields)}: message`);
    checkEqual([new URL(page.url()).pathname, sent], ["/", []], `${c.form} ${JSON.stringify(c.fields)}: nothing sent`);
  }
  // Equal bounds pass, and the message goes once the values are right.
  await page.fill("#star-minDecMin", "");
  await page.fill("#star-maxDecMin", "");
  await page.fill("#star-minDecDeg", "-5");
  await page.fill("#star-maxDecDeg", "-5");
  await submit(page, "#star-form");
  checkEqual(new URL(page.url()).search, "?star=100&minDecDeg=-5&maxDecDeg=-5", "equal bounds are sent");
  await page.goBack();
  checkEqual(await page.locator("#star-form [role=alert]").innerText(), "", "back on the form: no message left");
}

// At the width of a phone, 375 pixels, a page scrolls only downwards.
async function fitsPhone(context, url, name) {
  const page = await context.newPage();
  await page.setViewportSize({ width: 375, height: 800 });
  await page.goto(url);
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  check(width <= 375, `${name} at 375 pixels: no horizontal scrolling`, `the page is ${width} pixels wide`);
  await shot(page, `${name}-375.png`);
  await page.close();
}

async function atDesktop(context, url, name) {
  const page = await context.newPage();
  await page.setViewportSize({ width: 1280, height: 800 });
  await page.goto(url);
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  check(width <= 1280, `${name} at 1280 pixels: no horizontal scrolling`, `the page is ${width} pixels wide`);
  await shot(page, `${name}-1280.png`);
  await page.close();
}

// Finding a star by name, as a visitor does: one name leads straight to
// its entry page, and on to its neighbours and back; several give a list
// that links to their entry pages; none says so, with a 404, and each
// page of the finder offers its form again.
async function findStars(page) {
  await page.goto(baseUrl);
  let response = await findByName(page, "Sirius");
  checkEqual(address(firstRequest(response).url()), "/cgi-bin/find_star?name=Sirius", "finder Sirius: address");
  checkEqual((await firstRequest(response).response()).status(), 302, "finder Sirius: redirected");
  checkEqual(address(page.url()), "/cgi-bin/entry_page.exe?ID=323490000", "finder Sirius: lands on the entry page");
  checkEqual(response.status(), 200, "finder Sirius: entry page status");
  checkEqual((await page.locator("h1").innerText()).trim(), "Sirius (α Canis Majoris)", "finder Sirius: entry page heading");
  checkEqual(await page.getByRole("link", { name: "The stars within 20 light-years of Sirius" }).getAttribute("href"),
             "neighbours?ID=323490000&ly=20", "finder Sirius: within 20 light-years, address");
  checkEqual([address(page.url()), (await page.locator("h1").innerText()).trim()],
             ["/cgi-bin/entry_page.exe?ID=323490000", "Sirius (α Canis Majoris)"], "finder Sirius: on the entry page");
  await page.goBack();
  checkEqual(address(page.url()), "/", "finder Sirius: back again on the form");
  check(await page.locator("#find-form").isVisible(), "finder Sirius: the find form is shown again");

  // Several stars: a list of links to their entry pages and neighbours.
  response = await findByName(page, "alpha Cen");
  checkEqual([address(page.url()), response.status()], ["/cgi-bin/find_star?name=alpha+Cen", 200],
             "finder alpha Cen: a list, not a redirect");
  checkEqual((await page.locator("h1").innerText()).trim(), "Stars found", "finder alpha Cen: heading");
  const entries = page.locator("main li a[href^='entry_page.exe']");
  const listed = await entries.evaluateAll((links) => links.map((a) => [a.textContent, a.getAttribute("href")]));
  checkEqual(listed.map(([, href]) => href).sort(),
             ["entry_page.exe?ID=708900000", "entry_page.exe?ID=716810200", "entry_page.exe?ID=716830100"],
             "finder alpha Cen: the three stars listed");
  const neighbours = await page.locator("main li a[href^='neighbours']").evaluateAll((links) =>
    links.map((a) => a.getAttribute("href")));
  checkEqual(neighbours, listed.map(([, href]) => href.replace("entry_page.exe?ID=", "neighbours?ID=") + "&ly=20"),
             "finder alpha Cen: each star links to its neighbours");
  await shot(page, "find-list.png");
  response = await follow(page, entries.nth(1));
  checkEqual([address(page.url()), response.status()], ["/cgi-bin/" + listed[1][1], 200],
             "finder alpha Cen: a listed star's link leads to its entry page");
  // Headed with the star's display name; the name found is among its names.
  check((await page.locator("main li").allInnerTexts()).map((t) => t.trim()).includes(listed[1][0]),
        "finder alpha Cen: the entry page lists the name found", listed[1][0]);
  await page.goBack();
  checkEqual(address(page.url()), "/cgi-bin/find_star?name=alpha+Cen", "finder alpha Cen: back on the list");

  // Searching again from the list, and no star at all.
  response = await findByName(page, "Nosuchstar");
  checkEqual([address(page.url()), response.status()], ["/cgi-bin/find_star?name=Nosuchstar", 404],
             "finder Nosuchstar: address and status");
  checkEqual((await page.locator("h1").innerText()).trim(), "No star found", "finder Nosuchstar: heading");
  check((await page.locator("main").innerText()).includes("\u201cNosuchstar\u201d"),
        "finder Nosuchstar: the page names what was searched");
  response = await findByName(page, "sirius");
  checkEqual(address(page.url()), "/cgi-bin/entry_page.exe?ID=323490000",
             "finder Nosuchstar: found Sirius from the page's own form");

  // The footer leads to the finder's own page, and back to the form.
  response = await follow(page, page.getByRole("link", { name: "Find a star by name" }));
  checkEqual([address(page.url()), response.status()], ["/cgi-bin/find_star", 200], "footer: the finder's page");
  checkEqual((await page.locator("h1").innerText()).trim(), "Find a star", "footer: the finder's page heading");
  response = await findByName(page, "Barnard");
  checkEqual(address(page.url()), "/cgi-bin/entry_page.exe?ID=879370000", "finder's page: a prefix finds Barnard's Star");
  await follow(page, page.getByRole("link", { name: "Back to the neighbour search form" }));
  checkEqual(address(page.url()), "/", "footer: back to the form");

  // Names with nothing to search by: a 400 that offers the form again.
  for (const name of ["!!", "  "]) {
    const reply = await page.goto(`${baseUrl}cgi-bin/find_star?name=${encodeURIComponent(name)}`);
    checkEqual([reply.status(), (await page.locator("h1").innerText()).trim()], [400, "No name to search for"],
               `finder '${name}': status and heading`);
    check(await page.locator("#find-name").isVisible(), `finder '${name}': the find form is offered`);
  }
}

// The IDs of the stars that the classic search around star "id" within 20
// light-years lists, as served.
async function listedAround(page, id) {
  const reply = await page.request.get(`${baseUrl}cgi-bin/neighbor_search?ID=${id}&ly=20`);
  return [...(await reply.text()).matchAll(/<BR><A HREF="entry_page\.exe\?ID=(\d+)">/g)].map((m) => m[1]);
}

// The places of the map's dots, by star ID.
async function dotPlaces(page) {
  return page.locator("svg.neighbour-map a[href^='entry_page.exe'] circle").evaluateAll((circles) =>
    Object.fromEntries(circles.map((c) => [c.parentElement.getAttribute("href").replace(/.*=/, ""),
                                           [c.getAttribute("cx"), c.getAttribute("cy")]])));
}

// The map of an entry page: a dot linked for each star that the search
// around it lists, at the width of a phone and of a desktop; with scripts,
// a view that turns on a drag, a key or a button and comes back, without
// errors, and a drag that does not follow the link it ends on.
async function entryMap(context, scripts) {
  const id = "323490000";
  const errors = [];
  for (const [width, name] of [[375, "375"], [1280, "1280"]]) {
    const page = await context.newPage();
    page.on("pageerror", (e) => errors.push(e.message));
    page.on("console", (m) => {
      if (m.type() === "error" && !/favicon/.test(m.location().url)) errors.push(m.text());
    });
    await page.setViewportSize({ width, height: 900 });
    const response = await page.goto(`${baseUrl}cgi-bin/entry_page.exe?ID=${id}`);
    const suffix = scripts ? "" : "-noscript";
    checkEqual(response.status(), 200, `entry map${suffix} at ${width}: status`);
    const map = page.locator("svg.neighbour-map");
    checkEqual(await map.count(), 1, `entry map${suffix} at ${width}: one map`);
    const linked = Object.keys(await dotPlaces(page)).sort();
    checkEqual(linked, (await listedAround(page, id)).sort(),
               `entry map${suffix} at ${width}: a dot for each star listed around Sirius`);
    await map.scrollIntoViewIfNeeded();
    const box = await map.boundingBox();
    const scrollWidth = await page.evaluate(() => document.documentElement.scrollWidth);
    check(box.width <= width && scrollWidth <= width, `entry map${suffix} at ${width}: fits the width`,
          `map ${box.width}, page ${scrollWidth}`);
    const label = await map.getAttribute("role") === "group" && (await map.locator("title").first().textContent());
    check(/^Map of 25 stars around Sirius: /.test(label || ""), `entry map${suffix}: labelled by its title`, label);
    // The names are legible: at least 10 pixels high at either width.
    const nameHeight = await map.locator("text.name").first().evaluate((t) => t.getBoundingClientRect().height);
    check(nameHeight >= 10, `entry map${suffix} at ${width}: names at least 10 pixels high`, nameHeight);
    await page.locator("figure").screenshot({ path: path.join(screenshotDir, `entry-map${suffix}-${name}.png`) });
    const buttons = page.locator("p.map-controls button");
    if (!scripts) {
      checkEqual(await buttons.count(), 0, `entry map${suffix} at ${width}: no buttons without scripts`);
    } else {
      const before = await dotPlaces(page);
      // A drag from an empty corner of the plane turns it.
      const corner = await map.boundingBox();
      check(corner.y >= 0 && corner.y + corner.height / 2 <= 900, `entry map at ${width}: in view for the drag`);
      await page.mouse.move(box.x + box.width * 0.92, box.y + box.width * 0.06);
      await page.mouse.down();
      await page.mouse.move(box.x + box.width * 0.6, box.y + box.width * 0.3, { steps: 8 });
      await page.mouse.up();
      const turned = await dotPlaces(page);
      const moved = linked.filter((k) => turned[k].join() !== before[k].join()).length;
      check(moved > linked.length / 2, `entry map at ${width}: a drag turns it`, `${moved} of ${linked.length} moved`);
      const back = page.getByRole("button", { name: "Back to the plane" });
      check(await back.isVisible(), `entry map at ${width}: the way back offered once turned`);
      await back.click();
      checkEqual(await dotPlaces(page), before, `entry map at ${width}: back on the plane, every dot in its place`);
      check(!(await back.isVisible()), `entry map at ${width}: the way back hidden on the plane`);
      // The buttons and the keys turn it too.
      await page.getByRole("button", { name: "Turn left" }).click();
      await page.getByRole("button", { name: "Tilt down" }).click();
      check(JSON.stringify(await dotPlaces(page)) !== JSON.stringify(before), `entry map at ${width}: the buttons turn it`);
      await back.click();
      await map.focus();
      await page.keyboard.press("ArrowRight");
      check(JSON.stringify(await dotPlaces(page)) !== JSON.stringify(before), `entry map at ${width}: the arrow keys turn it`);
      await page.locator("figure").screenshot({ path: path.join(screenshotDir, `entry-map-turned-${name}.png`) });
      await back.click();
      // A drag that ends on a dot turns the map and stays on the page.
      const procyon = map.locator("a[href='entry_page.exe?ID=372790000'] circle");
      await map.scrollIntoViewIfNeeded();
      const target = await procyon.boundingBox();
      await page.mouse.move(target.x - 40, target.y + 30);
      await page.mouse.down();
      await page.mouse.move(target.x + target.width / 2, target.y + target.height / 2, { steps: 6 });
      await page.mouse.up();
      await page.waitForTimeout(300);
      checkEqual(address(page.url()), `/cgi-bin/entry_page.exe?ID=${id}`, `entry map at ${width}: a drag follows no link`);
    }
    await page.close();
  }
  checkEqual(errors, [], `entry map${scripts ? "" : "-noscript"}: no errors in the page`);
}

// The texts shown in the map (a text counts when it and every element
// around it are shown and not transparent), each with its box, and the
// picture's box.
async function shownTexts(map) {
  return map.evaluate((svg) => {
    const shown = (t) => {
      if (getComputedStyle(t).visibility !== "visible" || t.textContent.trim() === "") return false;
      for (let e = t; e && e !== svg; e = e.parentElement) {
        const style = getComputedStyle(e);
        if (style.display === "none" || Number(style.opacity) === 0) return false;
      }
      return true;
    };
    const box = (r) => ({ left: r.left, top: r.top, right: r.right, bottom: r.bottom });
    return {
      picture: box(svg.getBoundingClientRect()),
      texts: Array.from(svg.querySelectorAll("text")).filter(shown)
        .map((t) => ({ text: t.textContent, ...box(t.getBoundingClientRect()) })),
    };
  });
}

// The texts shown in the map whose boxes intersect, as pairs.
async function overlappingTexts(map) {
  const { texts } = await shownTexts(map);
  const pairs = [];
  for (let i = 0; i < texts.length; i++) {
    for (let j = i + 1; j < texts.length; j++) {
      const [p, q] = [texts[i], texts[j]];
      if (p.left < q.right && q.left < p.right && p.top < q.bottom && q.top < p.bottom) {
        pairs.push(`${p.text} / ${q.text}`);
      }
    }
  }
  return pairs;
}

// The texts shown in the map that reach beyond its picture.
async function textsOutside(map) {
  const { picture, texts } = await shownTexts(map);
  return texts.filter((t) => t.left < picture.left - 0.5 || t.right > picture.right + 0.5 ||
                             t.top < picture.top - 0.5 || t.bottom > picture.bottom + 0.5).map((t) => t.text);
}

// The star links of the map in the order the keyboard visits them, each
// as its title ("Sol, 8.60069 light-years"), from the element before the
// map on; it stops where the focus leaves the map.
async function tabOrder(page, map) {
  await map.evaluate((svg) => {
    const before = document.createElement("button");
    before.id = "before-map";
    before.textContent = "before the map";
    svg.before(before);
    before.focus();
  });
  const visited = [];
  for (let i = 0; i < 1100; i++) {
    await page.keyboard.press("Tab");
    const where = await page.evaluate(() => {
      const e = document.activeElement;
      if (!e.closest("svg.neighbour-map")) return null;
      return e.matches("a") ? e.querySelector("title").textContent : "";
    });
    if (where === null) break;
    if (where !== "") visited.push(where);
  }
  await page.locator("#before-map").evaluate((b) => b.remove());
  return visited;
}

// The distance of a star link's title.
const titleDistance = (title) => Number(/, ([\d.e+-]+) light-years$/.exec(title)[1]);

// The maps' names and labels as a visitor sees them, at the width of a
// phone and of a desktop: no two texts shown intersect, at rest and (with
// the script) after turns, zooms and moves; every text of a map and of the
// sky chart, its legend's too, lies within the picture; the keyboard
// visits the dots nearest first, and a dot focused shows its star's name.
async function mapLabels(context, scripts) {
  const suffix = scripts ? "" : "-noscript";
  const errors = [];
  for (const width of [375, 1280]) {
    const page = await context.newPage();
    page.on("pageerror", (e) => errors.push(e.message));
    await page.setViewportSize({ width, height: 900 });
    for (const [query, name] of [["neighbours?ID=100&ly=20", "neighbours"],
                                 ["entry_page.exe?ID=323490000", "entry"],
                                 ["neighbours?ID=100&ly=20&plane=sky", "sky"],
                                 ["neighbours?ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10&plane=sky",
                                  "sky-window"],
                                 ["neighbours?ID=100&ly=20&plane=sky&minDecDeg=40", "sky-north"]]) {
      await page.goto(`${baseUrl}cgi-bin/${query}`);
      const map = page.locator("svg.neighbour-map");
      await map.scrollIntoViewIfNeeded();
      const what = `${name} map${suffix} at ${width}`;
      checkEqual(await overlappingTexts(map), [], `${what}: no texts intersect`);
      checkEqual(await textsOutside(map), [], `${what}: every text within the picture`);
      await map.screenshot({ path: path.join(screenshotDir, `map-${name}${suffix}-${width}.png`) });
    }

    await page.goto(`${baseUrl}cgi-bin/neighbours?ID=100&ly=20`);
    const map = page.locator("svg.neighbour-map");
    await map.scrollIntoViewIfNeeded();
    const what = `neighbours map${suffix} at ${width}`;
    // The keyboard: the dots nearest first, each focused one named.
    const order = await tabOrder(page, map);
    checkEqual(order.length, 26, `${what}: the keyboard visits every dot`);
    const distances = order.map(titleDistance);
    checkEqual(distances, [...distances].sort((a, b) => a - b), `${what}: the keyboard visits the nearest first`);
    const tip = map.locator("a:has(text.tip)").first();
    await tip.focus();
    const named = await tip.evaluate((a) => {
      const text = a.querySelector("text");
      const box = text.getBoundingClientRect();
      const svg = a.closest("svg").getBoundingClientRect();
      return {
        shown: getComputedStyle(text).visibility === "visible",
        inside: box.left >= svg.left && box.right <= svg.right && box.top >= svg.top && box.bottom <= svg.bottom,
        name: text.textContent === a.querySelector("title").textContent.replace(/, [^,]* light-years$/, ""),
      };
    });
    checkEqual(named, { shown: true, inside: true, name: true }, `${what}: a dot focused shows its star's name`);
    await map.screenshot({ path: path.join(screenshotDir, `map-focused${suffix}-${width}.png`) });
    await page.evaluate(() => document.activeElement.blur());
    if (!scripts) {
      await page.close();
      continue;
    }
    // Turned, zoomed and moved, the names are placed again.
    const moves = [
      ["turned right and down", async () => {
        await page.getByRole("button", { name: "Turn right" }).click();
        await page.getByRole("button", { name: "Tilt down" }).click();
      }],
      ["turned by a drag", async () => {
        const box = await map.boundingBox();
        await page.mouse.move(box.x + box.width * 0.9, box.y + box.width * 0.1);
        await page.mouse.down();
        await page.mouse.move(box.x + box.width * 0.5, box.y + box.width * 0.45, { steps: 10 });
        await page.mouse.up();
      }],
      ["turned by the keys", async () => {
        await map.focus();
        for (const key of ["ArrowLeft", "ArrowLeft", "ArrowUp", "ArrowUp", "ArrowUp"]) await page.keyboard.press(key);
      }],
      ["zoomed in", async () => {
        await page.getByRole("button", { name: "Zoom in" }).click();
        await page.getByRole("button", { name: "Zoom in" }).click();
      }],
      ["moved", async () => {
        await map.focus();
        for (const key of ["Shift+ArrowLeft", "Shift+ArrowUp", "Shift+ArrowLeft"]) await page.keyboard.press(key);
      }],
      ["zoomed out", async () => {
        for (let i = 0; i < 4; i++) await page.getByRole("button", { name: "Zoom out" }).click();
      }],
    ];
    const before = await dotPlaces(page);
    for (const [how, move] of moves) {
      await move();
      // Nothing pointed at or focused: only the names placed are shown.
      await page.mouse.move(0, 0);
      await page.evaluate(() => document.activeElement.blur());
      checkEqual(await overlappingTexts(map), [], `${what}, ${how}: no texts intersect`);
      checkEqual(await textsOutside(map), [], `${what}, ${how}: every text within the picture`);
      const names = await map.locator("g.stars text.name:not(.tip)").count();
      check(names >= 5, `${what}, ${how}: stars are named`, `${names} named`);
      await map.screenshot({ path: path.join(screenshotDir, `map-${how.replace(/ /g, "-")}-${width}.png`) });
    }
    check(JSON.stringify(await dotPlaces(page)) !== JSON.stringify(before), `${what}: the moves moved the dots`);
    const turnedOrder = await tabOrder(page, map);
    const turnedDistances = turnedOrder.map(titleDistance);
    check(turnedOrder.length > 0 && turnedDistances.every((d, i) => i === 0 || turnedDistances[i - 1] <= d),
          `${what}, turned and zoomed: the keyboard still visits the nearest first`, turnedOrder.join("; "));
    await page.getByRole("button", { name: "Back to the plane" }).click();
    checkEqual(await dotPlaces(page), before, `${what}: back on the plane, every dot in its place`);
    await page.close();
  }
  checkEqual(errors, [], `map labels${suffix}: no errors in the page`);
}

async function withoutScripts(context) {
  const page = context.pages()[0] || (await context.newPage());
  await page.goto(baseUrl);
  check(await page.locator("#star-minRAHour").isDisabled(), "no scripts: sky window disabled");
  check(await page.locator("p.noscript").isVisible(), "no scripts: the page says what empty fields mean");
  await shot(page, "form-noscript.png");
  let response = await findByName(page, "Sirius");
  checkEqual([address(firstRequest(response).url()), address(page.url())],
             ["/cgi-bin/find_star?name=Sirius", "/cgi-bin/entry_page.exe?ID=323490000"],
             "no scripts: the finder leads to Sirius's entry page");
  checkEqual((await page.locator("h1").innerText()).trim(), "Sirius (α Canis Majoris)", "no scripts: Sirius's entry page heading");
  await page.goBack();
  response = await findByName(page, "alpha Cen");
  checkEqual([address(page.url()), response.status()], ["/cgi-bin/find_star?name=alpha+Cen", 200],
             "no scripts: alpha Cen, the list");
  await follow(page, page.locator("main li a[href^='entry_page.exe']").first());
  check(/^\/cgi-bin\/entry_page\.exe\?ID=\d+$/.test(address(page.url())), "no scripts: a listed star's entry page",
        page.url());
  await page.goto(baseUrl);
  await page.fill("#star-ID", "Sirius");
  await page.fill("#star-ly", "20");
  response = await submit(page, "#star-form");
  checkEqual(address(page.url()), "/cgi-bin/neighbours?star=Sirius&minLY=&ly=20",
             "no scripts: around Sirius by name, the empty minLY sent");
  check((await response.body()).equals(directReply("star=Sirius&minLY=&ly=20", neighboursProgram)),
        "no scripts: around Sirius by name, the program's reply byte for byte");
  checkEqual((await readNeighbours(page)).heading, "Stars within 20 light-years of Sirius (α Canis Majoris)",
             "no scripts: around Sirius by name, heading");
  await page.goto(baseUrl);
  await page.fill("#star-ID", "100");
  await page.fill("#star-ly", "20");
  await submit(page, "#star-form");
  checkEqual(new URL(page.url()).search, "?star=100&minLY=&ly=20", "no scripts: the empty minLY is sent");
  const results = await readNeighbours(page);
  checkEqual(results.heading, "Stars within 20 light-years of Sol", "no scripts: heading");
  checkEqual(results.stars, sunWithin20, "no scripts: listed stars");
  await shot(page, "noscript-results.png");

  // Sorting without the script: the heading is a link to the page in that
  // order, which the program writes.
  await page.goto(`${baseUrl}cgi-bin/neighbours?ID=100&ly=20&size=10`);
  await follow(page, page.locator("#stars thead a", { hasText: "Mag. from centre" }));
  checkEqual(address(page.url()), "/cgi-bin/neighbours?ID=100&ly=20&size=10&sort=mag",
             "no scripts: sorting by magnitude asks the program");
  const magnitudes = await page.locator("#stars tbody tr td:nth-child(5)").allInnerTexts();
  const values = magnitudes.map((m) => Number(m.replace("\u2212", "-").replace(/^mag /, "")));
  checkEqual(values, [...values].sort((a, b) => a - b), "no scripts: brightest first");
  await follow(page, page.locator("#stars thead a", { hasText: "Mag. from centre" }));
  checkEqual(address(page.url()), "/cgi-bin/neighbours?ID=100&ly=20&size=10&sort=mag&order=desc",
             "no scripts: again, faintest first");
  await follow(page, page.getByRole("link", { name: "Next" }).first());
  checkEqual(address(page.url()), "/cgi-bin/neighbours?ID=100&ly=20&size=10&page=2&sort=mag&order=desc",
             "no scripts: the next page keeps the order");
}

// The site's page of a search: the rejected request's page with its form,
// and paging to the last page and back, each page listing its ranks.
async function neighboursPages(page) {
  let response = await page.goto(`${baseUrl}cgi-bin/neighbours?ID=100&ly=1&minLY=5`);
  checkEqual([response.status(), (await page.locator("h1").innerText()).trim(),
              (await page.locator("p.error").innerText()).trim()],
             [400, "The search cannot be made", "Search radius must be at least 2 light-years."],
             "neighbours: a rejected distance, its message");
  checkEqual(await page.locator("#f-star").inputValue(), "100", "neighbours: the form has the star");
  await page.fill("#f-ly", "20");
  await page.fill("#f-size", "10");
  response = await submit(page, "form.search");
  checkEqual(response.status(), 200, "neighbours: the mended search");
  checkEqual((await readNeighbours(page)).heading, "Stars between 5 and 20 light-years from Sol",
             "neighbours: the mended search's heading");
  checkEqual(await shownRanks(page), [1, 2, 3, 4, 5, 6, 7, 8, 9, 10], "neighbours: the first page of 10");
  const seen = [];
  for (let n = 1; n <= 5; n++) {
    seen.push(...(await shownRanks(page)));
    const next = page.locator("nav.pages a[rel=next]").first();
    if (await next.count() === 0) break;
    await follow(page, next);
  }
  const total = Number((await page.locator("#stars caption").innerText()).match(/of (\d+)/)[1]);
  checkEqual(seen, Array.from({ length: total }, (_, i) => i + 1), "neighbours: Next to the last page, every rank once");
  check(/Page 3 of 3/.test(await page.locator("nav.pages").first().innerText()), "neighbours: the last page is page 3");
  await shot(page, "neighbours-last-page.png");
  await follow(page, page.getByRole("link", { name: "Page 1", exact: true }).first());
  checkEqual(await shownRanks(page), [1, 2, 3, 4, 5, 6, 7, 8, 9, 10], "neighbours: page 1 leads back");
  await follow(page, page.getByRole("link", { name: "Page 3", exact: true }).first());
  check(/Page 3 of 3/.test(await page.locator("nav.pages").first().innerText()), "neighbours: page 3's number leads to it");
  response = await page.goto(`${baseUrl}cgi-bin/neighbours?ID=100&ly=20&size=10&page=4`);
  checkEqual(response.status(), 404, "neighbours: a page past the last");
  await follow(page, page.getByRole("link", { name: "The last page" }));
  check(/Page 3 of 3/.test(await page.locator("nav.pages").first().innerText()), "neighbours: from past the last to the last");
}

// With the script, a column's heading sorts the page in place, in the order
// the program gives for the same column, without asking it; the links
// that keep the order, and the address, follow.
async function sortInPlace(page) {
  const query = "ID=100&ly=20";
  let fetching = false;
  const serverOrder = async (sort) => {
    fetching = true;
    const body = await (await page.request.get(`${baseUrl}cgi-bin/neighbours?${query}${sort}`)).text();
    fetching = false;
    return Array.from(body.matchAll(/<tr data-rank="(\d+)">/g), (m) => Number(m[1]));
  };
  await page.goto(`${baseUrl}cgi-bin/neighbours?${query}`);
  const asked = [];
  const listen = (r) => { if (!fetching && r.url().includes("/cgi-bin/")) asked.push(r.url()); };
  page.on("request", listen);
  for (const [column, label] of [["name", "Name"], ["class", "Class"], ["mag", "Mag. from centre"],
                                 ["vmag", "Mag. from Earth"], ["constellation", "Constellation"],
                                 ["distance", "Distance (ly)"]]) {
    const heading = page.locator("#stars thead a", { hasText: label });
    for (const order of ["asc", "desc"]) {
      await heading.click();
      const sort = (column === "distance" ? "" : `&sort=${column}`) + (order === "desc" ? "&order=desc" : "");
      checkEqual(await shownRanks(page), await serverOrder(sort), `sorting in place by ${column}, ${order}: the program's order`);
      checkEqual(await page.locator("#stars thead th[aria-sort]").evaluateAll((t) => t.map((h) => [h.textContent.trim(), h.getAttribute("aria-sort")])),
                 [[label, order === "asc" ? "ascending" : "descending"]], `sorting in place by ${column}, ${order}: aria-sort`);
      checkEqual(address(page.url()), `/cgi-bin/neighbours?${query}${sort}`, `sorting in place by ${column}, ${order}: the address`);
      if (column === "mag" && order === "desc") {
        checkEqual(await page.locator("#stars-order").innerText(), "faintest from the centre first",
                   "sorting in place: the caption says the order");
        await shot(page, "neighbours-sorted-in-place.png");
      }
    }
  }
  checkEqual(asked, [], "sorting in place: the program is not asked");
  page.off("request", listen);
  // A list of several pages is sorted whole by the program: its headings
  // stay links, and going on keeps the order.
  await page.goto(`${baseUrl}cgi-bin/neighbours?ID=100&ly=20&size=10&page=2`);
  await follow(page, page.locator("#stars thead a", { hasText: "Constellation" }));
  checkEqual(address(page.url()), "/cgi-bin/neighbours?ID=100&ly=20&size=10&page=2&sort=constellation",
             "several pages: sorting asks the program");
  checkEqual(await shownRanks(page), (await serverOrder("&sort=constellation")).slice(10, 20),
             "several pages: page 2 holds the 11th to 20th of the whole result sorted");
  await follow(page, page.locator("nav.pages a[rel=next]").first());
  checkEqual(address(page.url()), "/cgi-bin/neighbours?ID=100&ly=20&size=10&page=3&sort=constellation",
             "several pages: the next page in the same order");
}

let contexts = [];
try {
  fs.mkdirSync(screenshotDir, { recursive: true });
  contexts.push(await launch(true));
  await fitsPhone(contexts[0], baseUrl, "form");
  await fitsPhone(contexts[0], `${baseUrl}cgi-bin/entry_page.exe?ID=323490000`, "entry");
  await fitsPhone(contexts[0], `${baseUrl}cgi-bin/entry_page.exe?ID=323490000&view=sky`, "sky");
  await fitsPhone(contexts[0], `${baseUrl}cgi-bin/find_star?name=alpha+Cen`, "find-list");
  await fitsPhone(contexts[0], `${baseUrl}cgi-bin/find_star?name=HD`, "find-list-long");
  await fitsPhone(contexts[0], `${baseUrl}cgi-bin/find_star?name=Nosuchstar`, "find-none");
  await fitsPhone(contexts[0], `${baseUrl}cgi-bin/find_star?name=Betelguese`, "find-did-you-mean");
  await atDesktop(contexts[0], `${baseUrl}cgi-bin/find_star?name=Betelguese`, "find-did-you-mean");
  await fitsPhone(contexts[0], `${baseUrl}cgi-bin/find_star?name=%21%21`, "find-no-name");
  await fitsPhone(contexts[0], `${baseUrl}cgi-bin/find_star`, "find-form");
  for (const [query, name] of [["ID=100&ly=20", "neighbours"],
                               ["ID=1088700000&ly=30&sort=class&order=desc&size=40", "neighbours-long-names"],
                               ["ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10", "neighbours-window"],
                               ["ID=100&ly=20&size=5&page=2", "neighbours-paged"],
                               ["ID=100&ly=1&maxRAHour=25", "neighbours-rejected"],
                               ["ID=100&ly=20&page=9", "neighbours-past-last"]]) {
    await fitsPhone(contexts[0], `${baseUrl}cgi-bin/neighbours?${query}`, name);
    await atDesktop(contexts[0], `${baseUrl}cgi-bin/neighbours?${query}`, name);
  }
  await withScripts(contexts[0]);
  await entryMap(contexts[0], true);
  await mapLabels(contexts[0], true);
  contexts.push(await launch(false));
  await fitsPhone(contexts[1], baseUrl, "form-noscript");
  await fitsPhone(contexts[1], `${baseUrl}cgi-bin/neighbours?ID=100&ly=20`, "neighbours-noscript");
  await withoutScripts(contexts[1]);
  await entryMap(contexts[1], false);
  await mapLabels(contexts[1], false);
} catch (e) {
  failures++;
  console.log(`FAIL ${e.stack || e}`);
} finally {
  for (const c of contexts) await c.close().catch(() => {});
  for (const d of userDataDirs) fs.rmSync(d, { recursive: true, force: true });
}
console.log(failures === 0 ? "browser test passed" : `browser test: ${failures} failure(s)`);
process.exit(failures === 0 ? 0 : 1);
