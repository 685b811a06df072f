const query = new URLSearchParams(location.search);
const scale = (() => {
  const s = Number(query.get("scale") || 1);
  return s >= 0.5 && s <= 4 ? s : 1;
})();
const token = query.get("token");
