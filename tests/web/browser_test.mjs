// The search form and the result pages as a visitor sees them: headless
// Chromium against the site that scripts/serve runs (started by
// run-browser-test, which passes the address in the environment).
//
// Environment: BASE_URL (http://127.0.0.1:PORT/), SCREENSHOT_DIR,
// PROFILE_DIR (where the browser profiles are made; run-browser-test
// removes it), and PROGRAM and ODBC_DIR, with which a reply is also made by
// running the program directly, to compare with the served page byte for
// byte.
import { chromium } from "playwright-core";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";

const baseUrl = process.env.BASE_URL;
const screenshotDir = process.env.SCREENSHOT_DIR;
const program = process.env.PROGRAM;
const odbcDir = process.env.ODBC_DIR;
const profileDir = process.env.PROFILE_DIR || os.tmpdir();
if (!baseUrl || !screenshotDir || !program || !odbcDir) {
  console.error("browser_test: BASE_URL, SCREENSHOT_DIR, PROGRAM and ODBC_DIR must be set");
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
  "Kruger 60: 13.0703 light-years, class M3",
  "Kruger 60: 13.0703 light-years",
  "HIP 30920: 13.4235 light-years, class M4.5 V",
  "Altair: 16.7286 light-years, class A7 V",
];
const sunWithin15 = sunWithin20.slice(0, -1);
const windowHeading =
  ", with Right Ascensions between 5h0m0s and 6h0m0s, and Declinations between -10\u00b00'0\" and +10\u00b00'0\":";

// The inputs each form must have, named as the program reads them.
const windowNames = [
  "minRAHour", "minRAMin", "minRASec", "maxRAHour", "maxRAMin", "maxRASec",
  "minDecDeg", "minDecMin", "minDecSec", "maxDecDeg", "maxDecMin", "maxDecSec",
];
const formInputs = {
  "#star-form": ["ID", "minLY", "ly", ...windowNames],
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

// The reply of the program run directly, without its header.
function directReply(query) {
  const reply = execFileSync(program, {
    env: { QUERY_STRING: query, ODBCSYSINI: odbcDir, ODBCINI: path.join(odbcDir, "odbc.ini") },
  });
  const header = Buffer.from("Content-type: text/html\n\n");
  if (!reply.subarray(0, header.length).equals(header)) throw new Error(`unexpected reply to ${query}`);
  return reply.subarray(header.length);
}

async function submit(page, form) {
  const [response] = await Promise.all([
    page.waitForNavigation(),
    page.locator(`${form} button[type=submit]`).click(),
  ]);
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
  await shot(page, "form.png");

  // Around the Sun: the empty fields are not sent, the served page is the
  // program's reply, and it lists the expected stars.
  await page.fill("#star-ID", "100");
  await page.fill("#star-ly", "20");
  let response = await submit(page, "#star-form");
  checkEqual(new URL(page.url()).search, "?ID=100&ly=20", "star search: only the filled fields are sent");
  checkEqual(response.status(), 200, "star search: status");
  check(/^text\/html/.test(response.headers()["content-type"] || ""), "star search: content type",
        response.headers()["content-type"]);
  check((await response.body()).equals(directReply("ID=100&ly=20")),
        "star search: the served page is the program's reply, byte for byte");
  let results = await readResults(page);
  checkEqual(results.heading, "Stars within 20 light-years of Sol:", "star search: heading");
  checkEqual(results.stars, sunWithin20, "star search: listed stars");
  await shot(page, "star-results.png");

  // A listed star's link leads to the entry stand-in with its ID.
  await Promise.all([page.waitForNavigation(), page.getByRole("link", { name: "Barnard's Star" }).click()]);
  checkEqual(new URL(page.url()).pathname + new URL(page.url()).search,
             "/cgi-bin/entry_page.exe?ID=879370000", "entry link: address");
  checkEqual((await page.locator("h1").innerText()).trim(), "Star 879370000", "entry stand-in: names the ID");
  check((await page.locator("body").innerText()).includes("not part of this neighbour search"),
        "entry stand-in: says where entry pages come from");
  await shot(page, "entry.png");
  await Promise.all([page.waitForNavigation(), page.getByRole("link", { name: "Back to the neighbour search" }).click()]);
  checkEqual(new URL(page.url()).pathname, "/", "entry stand-in: link back to the form");

  // Around a point with a sky window; the empty coordinates mean the origin.
  await page.fill("#point-ly", "1000");
  await page.fill("#point-minRAHour", "5");
  await page.fill("#point-maxRAHour", "6");
  await page.fill("#point-minDecDeg", "-10");
  await page.fill("#point-maxDecDeg", "10");
  await submit(page, "#point-form");
  checkEqual(new URL(page.url()).search, "?ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10",
             "point search: only the filled fields are sent");
  results = await readResults(page);
  checkEqual(results.heading, "Stars within 1000 light-years of (0, 0, 0)" + windowHeading, "point search: heading");
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
  checkEqual(new URL(page.url()).search, "?ID=100", "ID alone: only the ID is sent");
  results = await readResults(page);
  checkEqual(results.heading, "Stars within 15 light-years of Sol:", "ID alone: heading");
  checkEqual(results.stars, sunWithin15, "ID alone: listed stars");

  // One coordinate of a point: the others are sent as 0, or Y and Z would
  // not be read at all.
  await page.goto(baseUrl);
  await page.fill("#point-Y", "10");
  await page.fill("#point-ly", "20");
  await submit(page, "#point-form");
  checkEqual(new URL(page.url()).search, "?X=0&Y=10&Z=0&ly=20", "Y alone: X and Z sent as 0");
  checkEqual((await readResults(page)).heading, "Stars within 20 light-years of (0, 10, 0):", "Y alone: heading");

  // The stand-in shows an ID only when it is a star ID (a positive multiple
  // of 100 without leading zeros) and echoes nothing else.
  const entryCases = [
    { query: "ID=100", status: 200, heading: "Star 100" },
    { query: "ID=1204161300", status: 200, heading: "Star 1204161300" },
    { query: "ID=0", status: 400, heading: "No star ID" },
    { query: "ID=0100", status: 400, heading: "No star ID" },
    { query: "ID=150", status: 400, heading: "No star ID" },
    { query: "foo=1&ID=200&ID=300", status: 200, heading: "Star 200" },
    { query: "", status: 400, heading: "No star ID" },
    { query: "ID=", status: 400, heading: "No star ID" },
    { query: "ID=12a", status: 400, heading: "No star ID" },
    { query: "ID=-100", status: 400, heading: "No star ID" },
    { query: "ID=1234567890123", status: 400, heading: "No star ID" },
    { query: "ID=%3Cscript%3Ealert(1)%3C/script%3E", status: 400, heading: "No star ID" },
    { query: "ID=100%26x=%3Cb%3E", status: 400, heading: "No star ID" },
    { query: "XID=100", status: 400, heading: "No star ID" },
  ];
  for (const c of entryCases) {
    const reply = await page.request.get(`${baseUrl}cgi-bin/entry_page.exe?${c.query}`);
    const body = await reply.text();
    const h1 = (body.match(/<h1>(.*)<\/h1>/) || [])[1];
    checkEqual([reply.status(), h1], [c.status, c.heading], `entry stand-in '${c.query}'`);
    check(!/script|alert|<b>|12a|1234567890123|foo/.test(body), `entry stand-in '${c.query}': no request text echoed`);
  }
}

async function withoutScripts(context) {
  const page = context.pages()[0] || (await context.newPage());
  await page.goto(baseUrl);
  check(await page.locator("#star-minRAHour").isDisabled(), "no scripts: sky window disabled");
  check(await page.locator("p.noscript").isVisible(), "no scripts: the page says what empty fields mean");
  await shot(page, "form-noscript.png");
  await page.fill("#star-ID", "100");
  await page.fill("#star-ly", "20");
  await submit(page, "#star-form");
  checkEqual(new URL(page.url()).search, "?ID=100&minLY=&ly=20", "no scripts: the empty minLY is sent");
  const results = await readResults(page);
  checkEqual(results.heading, "Stars within 20 light-years of Sol:", "no scripts: heading");
  checkEqual(results.stars, sunWithin20, "no scripts: listed stars");
  await shot(page, "noscript-results.png");
}

let contexts = [];
try {
  fs.mkdirSync(screenshotDir, { recursive: true });
  contexts.push(await launch(true));
  await withScripts(contexts[0]);
  contexts.push(await launch(false));
  await withoutScripts(contexts[1]);
} catch (e) {
  failures++;
  console.log(`FAIL ${e.stack || e}`);
} finally {
  for (const c of contexts) await c.close().catch(() => {});
  for (const d of userDataDirs) fs.rmSync(d, { recursive: true, force: true });
}
console.log(failures === 0 ? "browser test passed" : `browser test: ${failures} failure(s)`);
process.exit(failures === 0 ? 0 : 1);
