// The list of the site's page of a neighbour search (cgi-bin/neighbours),
// sorted in place when a column's heading is chosen, without asking the
// program again.  Without this script the same headings are links that ask
// the program for the page in that order ("sort=mag&order=desc"); with it
// the order is the same, since the program writes, in each cell, the cell's
// place among the page's values of its column ("data-k"; none for a cell
// without a value, which goes last either way), and equal places keep the
// order of the ranking ("data-rank" of each row).  The links of the page
// that keep its order (its pages and the map's planes), and the address
// itself, are made to ask for the new order, so that it stays when the
// visitor goes on or comes back.  A list of more than one page is sorted
// whole by the program ("data-pages" of the table), so there the headings
// stay links.
(function () {
  "use strict";
  var table = document.getElementById("stars");
  if (!table || !window.URL || !window.history) return;
  if (table.getAttribute("data-pages") !== "1") return;
  var body = table.tBodies[0];
  var headings = table.tHead.rows[0].cells;
  var orderText = document.getElementById("stars-order");

  // The address "href" asking for the list sorted by "column" in "order",
  // the defaults (distance, ascending) left out as the program leaves them.
  function withOrder(href, column, order) {
    var url = new URL(href, document.baseURI);
    if (column === "distance") url.searchParams.delete("sort");
    else url.searchParams.set("sort", column);
    if (order === "asc") url.searchParams.delete("order");
    else url.searchParams.set("order", order);
    return url.href;
  }

  function place(row, index) {
    var value = row.cells[index].getAttribute("data-k");
    return value === null ? null : Number(value);
  }

  function sortBy(link, column, order) {
    var index = link.parentNode.cellIndex;
    var rows = Array.prototype.slice.call(body.rows);
    rows.sort(function (a, b) {
      var pa = place(a, index);
      var pb = place(b, index);
      if ((pa === null) !== (pb === null)) return pa === null ? 1 : -1;
      if (pa !== pb) return order === "desc" ? pb - pa : pa - pb;
      return Number(a.getAttribute("data-rank")) - Number(b.getAttribute("data-rank"));
    });
    for (var i = 0; i < rows.length; i++) body.appendChild(rows[i]);

    // Each heading now leads to its column ascending, or, for the column
    // sorted ascending, descending.
    for (var h = 0; h < headings.length; h++) {
      var a = headings[h].querySelector("a[data-sort]");
      if (!a) continue;
      var current = a === link;
      if (current) headings[h].setAttribute("aria-sort", order === "asc" ? "ascending" : "descending");
      else headings[h].removeAttribute("aria-sort");
      a.href = withOrder(a.href, a.getAttribute("data-sort"), current && order === "asc" ? "desc" : "asc");
    }
    if (orderText) orderText.textContent = link.getAttribute(order === "asc" ? "data-asc" : "data-desc");
    var keeping = document.querySelectorAll("a.same-order");
    for (var k = 0; k < keeping.length; k++) {
      keeping[k].href = withOrder(keeping[k].href, column, order);
    }
    history.replaceState(null, "", withOrder(location.href, column, order));
  }

  table.tHead.addEventListener("click", function (event) {
    var link = event.target.closest ? event.target.closest("a[data-sort]") : null;
    if (!link || event.button !== 0 || event.ctrlKey || event.metaKey || event.shiftKey || event.altKey) return;
    event.preventDefault();
    var asked = new URL(link.href, document.baseURI).searchParams;
    sortBy(link, asked.get("sort") || "distance", asked.get("order") || "asc");
  });
})();
