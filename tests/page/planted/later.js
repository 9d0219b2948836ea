// A script file of the planted page.
class Page {}
