/* A small native library for the tests of native calls: functions of 0 to 16 arguments,
 * reals and texts, text results (one of them null), and state that shows whether two
 * definitions share one loaded copy. Weighted sums make a swapped argument visible. */
#include <stdio.h>
#include <string.h>

static char result_text[256];
static const char* kept_text;
static double counter;

double kt_zero(void) {
    return 42.0;
}
double kt_negate(double a) {
    return -a;
}
double kt_add(double a, double b) {
    return a + b;
}
double kt_max2(double a, double b) {
    return a > b ? a : b;
}
double kt_sum3(double a, double b, double c) {
    return a + 2 * b + 3 * c;
}
double kt_sum4(double a, double b, double c, double d) {
    return a + 2 * b + 3 * c + 4 * d;
}
double kt_sum5(double a, double b, double c, double d, double e) {
    return a + 2 * b + 3 * c + 4 * d + 5 * e;
}
double kt_sum6(double a, double b, double c, double d, double e, double f) {
    return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f;
}
double kt_sum7(double a, double b, double c, double d, double e, double f, double g) {
    return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g;
}
double kt_sum8(double a, double b, double c, double d, double e, double f, double g, double h) {
    return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g + 8 * h;
}
double kt_sum16(double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8,
                double a9, double a10, double a11, double a12, double a13, double a14, double a15,
                double a16) {
    return a1 + 2 * a2 + 3 * a3 + 4 * a4 + 5 * a5 + 6 * a6 + 7 * a7 + 8 * a8 + 9 * a9 + 10 * a10 + 11 * a11 +
           12 * a12 + 13 * a13 + 14 * a14 + 15 * a15 + 16 * a16;
}

double kt_length(const char* s) {
    return (double)strlen(s);
}

const char* kt_greet(const char* name) {
    snprintf(result_text, sizeof result_text, "hello, %s", name);
    return result_text;
}

/* Mixed texts and reals in all four places. */
const char* kt_mix4(const char* a, double b, const char* c, double d) {
    snprintf(result_text, sizeof result_text, "%s%g%s%g", a, b, c, d);
    return result_text;
}

double kt_mix_real(double a, const char* b) {
    return a * 10 + (double)strlen(b);
}

const char* kt_null(void) {
    return NULL;
}

/* Keeps the pointer it was given; kt_kept gives the text back on the next call. */
double kt_keep(const char* s) {
    kept_text = s;
    return 0;
}
const char* kt_kept(void) {
    return kept_text ? kept_text : "";
}

double kt_count(void) {
    return ++counter;
}
